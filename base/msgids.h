#pragma once
// Names of the numbered messages, made from the texts of the message tables
// (base/messages.cpp): call sites report by name, never by a bare number.

namespace dorvik {

// Errors (ReportError)
namespace err {
inline constexpr int kRs232InitializationFailed = 100;
inline constexpr int kBadValueBaudCommunicationSpeed = 101;
inline constexpr int kBadCommunicationPortNumber = 102;
inline constexpr int kReceiveTimeout = 103;
inline constexpr int kTransmitTimeout = 104;
inline constexpr int kFramingError = 105;
inline constexpr int kFileNotExist = 106;
inline constexpr int kTargetError = 107;
inline constexpr int kExternalProcessExecutingTimeout = 108;
inline constexpr int kAssemblyImpossible = 109;
inline constexpr int kFileWriteProtected = 110;
inline constexpr int kOnChipDataSegmentAddress = 111;
inline constexpr int kSpecialFunctionRegisterSegmentAddress = 112;
inline constexpr int kDataSegmentAddressExpected = 113;
inline constexpr int kCodeSegmentAddressExpected = 114;
inline constexpr int kXdataSegmentAddressExpected = 115;
inline constexpr int kBitSegmentAddressExpected = 116;
inline constexpr int kLocationNotBitAddressable = 117;
inline constexpr int kSyntaxError = 118;
inline constexpr int kFileNotCorrectHexFile = 119;
inline constexpr int kErrorWhileFile = 120;
inline constexpr int kFileNotValidObjectFile = 121;
inline constexpr int kFileChecksumError = 122;
inline constexpr int kFileNonAbsoluteObjectFile = 123;
inline constexpr int kIntegerTypeOperandsInRange = 124;
inline constexpr int kFloatingPointExpressionOutRange = 125;
inline constexpr int kArithmeticOverflowInNumericExpression = 126;
inline constexpr int kDivideByZero = 127;
inline constexpr int kCannotRedefineSystemPredefinedSymbol = 128;
inline constexpr int kInvalidMnemonic = 129;
inline constexpr int kBadCpuCode = 130;
inline constexpr int kSymbolNotKnownForCurrent = 131;
inline constexpr int kInvalidBase = 132;
inline constexpr int kExpressionTooComplex = 133;
inline constexpr int kNumberTooLarge = 135;
inline constexpr int kFileIoError = 136;
inline constexpr int kSymbolNotKnown = 137;
inline constexpr int kInternalErrorWhenSeekingIn = 138;
inline constexpr int kSymbolNotModuleName = 139;
inline constexpr int kSymbolNotProcedureName = 140;
inline constexpr int kSpecifiedLineNumberNotExecutable = 141;
inline constexpr int kModuleNotContainLineInformation = 142;
inline constexpr int kDorvikInternalError = 143;
inline constexpr int kCommandFormNotAllowedDuring = 144;
inline constexpr int kSystemCommandNotSupported = 145;
inline constexpr int kCommandNotSupportedByThis = 146;
inline constexpr int kNonChangeableItem = 147;
inline constexpr int kSpecifiedFileNotConformTo = 148;
inline constexpr int kFileNotCorrectListingFile = 149;
inline constexpr int kTokenTooLong = 150;
inline constexpr int kNoSourceFileAssignedTo = 151;
inline constexpr int kModuleNameAttempted = 152;
inline constexpr int kMacroFileTooLarge = 153;
inline constexpr int kLineInMacroFileBad = 154;
inline constexpr int kLineInMacroFileToo = 155;
inline constexpr int kMoreErrorsThan100In = 156;
inline constexpr int kIncludeCanNotBeUsed = 157;
inline constexpr int kCouldNotOpenProcessorDefinition = 159;
inline constexpr int kFileNotSupportedProcessorDefinition = 160;
inline constexpr int kTargetDeviceNotResponding = 161;
inline constexpr int kPartitionBoundsError = 162;
inline constexpr int kListingFileReportsErrors = 163;
inline constexpr int kObjectCodeTooLong = 164;
inline constexpr int kTooManyMemoryViewers = 165;
inline constexpr int kIllegalPointerAssignedToWatches = 200;
inline constexpr int kProcessorDefinitionFileCorrupted = 300;
inline constexpr int kUserSymbolTableCorrupted = 301;
inline constexpr int kCouldNotOpenHelpFile = 302;
inline constexpr int kHelpFileNotFound = 303;
inline constexpr int kCouldNotCreateEnvironmentFile = 304;
inline constexpr int kCouldNotOpenSymbolFile = 305;
inline constexpr int kCouldNotCreateSymbolFile = 306;
inline constexpr int kIncorrectConfigurationFile = 307;
inline constexpr int kCouldNotOpenConfigurationFile = 308;
inline constexpr int kCouldNotOpenDesktopFile = 309;
inline constexpr int kErrorReadingDesktopFile = 310;
inline constexpr int kCouldNotCreateDesktopFile = 311;
inline constexpr int kNoLinkerProgramSpecified = 312;
inline constexpr int kNoHexConversionProgramSpecified = 313;
inline constexpr int kUnregisteredFileType = 314;
inline constexpr int kCannotLocateProjectPath = 315;
inline constexpr int kLineNumberMustBeBetween = 316;
inline constexpr int kSpecifiedLinkerProgramNotExists = 317;
inline constexpr int kSpecifiedHexConversionProgramNot = 318;
inline constexpr int kLinkerHasDetectedErrors = 319;
inline constexpr int kSpecifiedCompilerForNotExists = 320;
inline constexpr int kNotEnoughMemoryAvailableTo = 400;
inline constexpr int kExecutionErrorNumberWhileExecuting = 401;
inline constexpr int kCannotOpenFile = 402;
inline constexpr int kErrorReadingFile = 403;
inline constexpr int kErrorWritingFile = 404;
inline constexpr int kErrorCreatingFile = 405;
inline constexpr int kCannotExecuteCommand = 406;
}  // namespace err

// Warnings and questions (ReportWarning)
namespace warn {
inline constexpr int kSymbolTableFull = 0;
inline constexpr int kModuleTableFull = 1;
inline constexpr int kSymbolTableEmpty = 2;
inline constexpr int kSymbolTableEmptyNoUserProgram = 3;
inline constexpr int kSymbolAlreadyDefined = 4;
inline constexpr int kFileAlreadyExists = 5;
inline constexpr int kNoModuleInformationFoundFor = 6;
inline constexpr int kModuleNotContainStartingPoint = 7;
inline constexpr int kBreakOverridesRetRetiInstruction = 8;
inline constexpr int kFileWriteProtected = 9;
inline constexpr int kModuleNotContainLineInformation = 10;
inline constexpr int kResetSignalOccurring = 11;
inline constexpr int kModuleNameOtherThanFile = 12;
inline constexpr int kModuleAlreadyAssignedToSame = 13;
inline constexpr int kModuleAlreadyAssignedToFile = 14;
inline constexpr int kProjectFileAlreadyExists = 15;
inline constexpr int kNoSourceFileAssignedTo = 16;
inline constexpr int kNoneFileAssigned = 17;
inline constexpr int kExecutionCanNotBeHalted = 18;
inline constexpr int kNoSegmentReferenceFoundFor = 19;
inline constexpr int kListDeviceNotAssigned = 20;
inline constexpr int kNameDirectiveInFileMissing = 21;
inline constexpr int kSomeAlienProceduresResolvedFrom = 22;
inline constexpr int kObjectFileContainsUnrecognizedRecord = 23;
inline constexpr int kDirectoryNotExist = 24;
inline constexpr int kFileNotExist = 25;
inline constexpr int kTooManyBreakpoints = 26;
inline constexpr int kBreakEnablePointAlreadySet = 27;
inline constexpr int kNoOccurrenceFound = 28;
inline constexpr int kUnsupportedFileType = 29;
inline constexpr int kLoadedObjectFileContainsOther = 30;
inline constexpr int kFileTooLongForEditing = 31;
inline constexpr int kNewBreakpointOverlapsBreakpointAlready = 32;
inline constexpr int kNoCompilerSpecified = 33;
inline constexpr int kLoadedFileNotContainSymbolic = 34;
inline constexpr int kNothingToDo = 35;
inline constexpr int kNothingToDoConfigureDisplayParams = 36;
inline constexpr int kFileNotSaved = 37;
inline constexpr int kLineInformationNotIncluded = 38;
inline constexpr int kSymbolInformationNotIncluded = 39;
inline constexpr int kNoModuleFoundForSymbol = 40;
inline constexpr int kAtLeastOneModule = 41;
inline constexpr int kPleaseRemoveNolistDirectiveFrom = 42;
inline constexpr int kDateTimeStampFileChanged = 43;
inline constexpr int kNoSymbolicInformationFoundFor = 44;
inline constexpr int kNoModuleInformationFoundForCurrent = 45;
inline constexpr int kBreakOverridesDestinationAddressBranch = 46;
inline constexpr int kBreakOverridesBeginProcedure = 47;
inline constexpr int kCannotOpenErrorProtocolFile = 48;
inline constexpr int kCannotOpenErrorProtocolFile49 = 49;
inline constexpr int kCompiledFileNotPartProject = 50;
inline constexpr int kSourceWasChanged = 51;
inline constexpr int kSourceWasChangedSourceLevelDebugging = 52;
inline constexpr int kErrorWarningOccursDuringCompiling = 53;
inline constexpr int kCurrentProjectHasNoParts = 54;
inline constexpr int kPartitionBoundsIncomplete = 55;
inline constexpr int kModulesOrderingInLoadProject = 56;
inline constexpr int kCompilerNotExists = 57;
inline constexpr int kCpuTypeAlreadyExists = 58;
inline constexpr int kProjectNotLoaded = 59;
inline constexpr int kWarningOccurredDuringLinkingFiles = 60;
inline constexpr int kUnused61 = 61;
inline constexpr int kAbsoluteAllocatedBreakpointDetectedAt = 62;
inline constexpr int kYouChangeDefaultExtensionDorvik = 63;
inline constexpr int kFileNotFound = 64;
inline constexpr int kFileNotFoundPleaseTryEnter = 65;
inline constexpr int kNoProjectDefined = 66;
}  // namespace warn

// Every name above, for the test that keeps them in step with the tables.
inline constexpr int kNamedErrors[] = {
    err::kRs232InitializationFailed, err::kBadValueBaudCommunicationSpeed, err::kBadCommunicationPortNumber, err::kReceiveTimeout,
    err::kTransmitTimeout, err::kFramingError, err::kFileNotExist, err::kTargetError,
    err::kExternalProcessExecutingTimeout, err::kAssemblyImpossible, err::kFileWriteProtected, err::kOnChipDataSegmentAddress,
    err::kSpecialFunctionRegisterSegmentAddress, err::kDataSegmentAddressExpected, err::kCodeSegmentAddressExpected, err::kXdataSegmentAddressExpected,
    err::kBitSegmentAddressExpected, err::kLocationNotBitAddressable, err::kSyntaxError, err::kFileNotCorrectHexFile,
    err::kErrorWhileFile, err::kFileNotValidObjectFile, err::kFileChecksumError, err::kFileNonAbsoluteObjectFile,
    err::kIntegerTypeOperandsInRange, err::kFloatingPointExpressionOutRange, err::kArithmeticOverflowInNumericExpression, err::kDivideByZero,
    err::kCannotRedefineSystemPredefinedSymbol, err::kInvalidMnemonic, err::kBadCpuCode, err::kSymbolNotKnownForCurrent,
    err::kInvalidBase, err::kExpressionTooComplex, err::kNumberTooLarge, err::kFileIoError,
    err::kSymbolNotKnown, err::kInternalErrorWhenSeekingIn, err::kSymbolNotModuleName, err::kSymbolNotProcedureName,
    err::kSpecifiedLineNumberNotExecutable, err::kModuleNotContainLineInformation, err::kDorvikInternalError, err::kCommandFormNotAllowedDuring,
    err::kSystemCommandNotSupported, err::kCommandNotSupportedByThis, err::kNonChangeableItem, err::kSpecifiedFileNotConformTo,
    err::kFileNotCorrectListingFile, err::kTokenTooLong, err::kNoSourceFileAssignedTo, err::kModuleNameAttempted,
    err::kMacroFileTooLarge, err::kLineInMacroFileBad, err::kLineInMacroFileToo, err::kMoreErrorsThan100In,
    err::kIncludeCanNotBeUsed, err::kCouldNotOpenProcessorDefinition, err::kFileNotSupportedProcessorDefinition, err::kTargetDeviceNotResponding,
    err::kPartitionBoundsError, err::kListingFileReportsErrors, err::kObjectCodeTooLong, err::kTooManyMemoryViewers,
    err::kIllegalPointerAssignedToWatches, err::kProcessorDefinitionFileCorrupted, err::kUserSymbolTableCorrupted, err::kCouldNotOpenHelpFile,
    err::kHelpFileNotFound, err::kCouldNotCreateEnvironmentFile, err::kCouldNotOpenSymbolFile, err::kCouldNotCreateSymbolFile,
    err::kIncorrectConfigurationFile, err::kCouldNotOpenConfigurationFile, err::kCouldNotOpenDesktopFile, err::kErrorReadingDesktopFile,
    err::kCouldNotCreateDesktopFile, err::kNoLinkerProgramSpecified, err::kNoHexConversionProgramSpecified, err::kUnregisteredFileType,
    err::kCannotLocateProjectPath, err::kLineNumberMustBeBetween, err::kSpecifiedLinkerProgramNotExists, err::kSpecifiedHexConversionProgramNot,
    err::kLinkerHasDetectedErrors, err::kSpecifiedCompilerForNotExists, err::kNotEnoughMemoryAvailableTo, err::kExecutionErrorNumberWhileExecuting,
    err::kCannotOpenFile, err::kErrorReadingFile, err::kErrorWritingFile, err::kErrorCreatingFile,
    err::kCannotExecuteCommand,
};
inline constexpr int kNamedWarnings[] = {
    warn::kSymbolTableFull, warn::kModuleTableFull, warn::kSymbolTableEmpty, warn::kSymbolTableEmptyNoUserProgram,
    warn::kSymbolAlreadyDefined, warn::kFileAlreadyExists, warn::kNoModuleInformationFoundFor, warn::kModuleNotContainStartingPoint,
    warn::kBreakOverridesRetRetiInstruction, warn::kFileWriteProtected, warn::kModuleNotContainLineInformation, warn::kResetSignalOccurring,
    warn::kModuleNameOtherThanFile, warn::kModuleAlreadyAssignedToSame, warn::kModuleAlreadyAssignedToFile, warn::kProjectFileAlreadyExists,
    warn::kNoSourceFileAssignedTo, warn::kNoneFileAssigned, warn::kExecutionCanNotBeHalted, warn::kNoSegmentReferenceFoundFor,
    warn::kListDeviceNotAssigned, warn::kNameDirectiveInFileMissing, warn::kSomeAlienProceduresResolvedFrom, warn::kObjectFileContainsUnrecognizedRecord,
    warn::kDirectoryNotExist, warn::kFileNotExist, warn::kTooManyBreakpoints, warn::kBreakEnablePointAlreadySet,
    warn::kNoOccurrenceFound, warn::kUnsupportedFileType, warn::kLoadedObjectFileContainsOther, warn::kFileTooLongForEditing,
    warn::kNewBreakpointOverlapsBreakpointAlready, warn::kNoCompilerSpecified, warn::kLoadedFileNotContainSymbolic, warn::kNothingToDo,
    warn::kNothingToDoConfigureDisplayParams, warn::kFileNotSaved, warn::kLineInformationNotIncluded, warn::kSymbolInformationNotIncluded,
    warn::kNoModuleFoundForSymbol, warn::kAtLeastOneModule, warn::kPleaseRemoveNolistDirectiveFrom, warn::kDateTimeStampFileChanged,
    warn::kNoSymbolicInformationFoundFor, warn::kNoModuleInformationFoundForCurrent, warn::kBreakOverridesDestinationAddressBranch, warn::kBreakOverridesBeginProcedure,
    warn::kCannotOpenErrorProtocolFile, warn::kCannotOpenErrorProtocolFile49, warn::kCompiledFileNotPartProject, warn::kSourceWasChanged,
    warn::kSourceWasChangedSourceLevelDebugging, warn::kErrorWarningOccursDuringCompiling, warn::kCurrentProjectHasNoParts, warn::kPartitionBoundsIncomplete,
    warn::kModulesOrderingInLoadProject, warn::kCompilerNotExists, warn::kCpuTypeAlreadyExists, warn::kProjectNotLoaded,
    warn::kWarningOccurredDuringLinkingFiles, warn::kUnused61, warn::kAbsoluteAllocatedBreakpointDetectedAt, warn::kYouChangeDefaultExtensionDorvik,
    warn::kFileNotFound, warn::kFileNotFoundPleaseTryEnter, warn::kNoProjectDefined,
};

}  // namespace dorvik
