#pragma once
// Numbers of the assembler's messages, named after their texts (the texts
// are in the message table of asmerrors.cpp).

#include <cstdint>

namespace dorvik::as::asm_err {

inline constexpr uint16_t kFatalError = 0;
inline constexpr uint16_t kIOError = 1;
inline constexpr uint16_t kInvocationError = 2;
inline constexpr uint16_t kSemanticError = 3;
inline constexpr uint16_t kMoreErrorsNotReported = 4;
inline constexpr uint16_t kIncludeMoreThan16Levels = 5;
inline constexpr uint16_t kMoreThanOneInclude = 6;
inline constexpr uint16_t kPrimaryAfterNonControl = 7;
inline constexpr uint16_t kPrimaryAfterGeneral = 8;
inline constexpr uint16_t kMisplacedOrUnrecognizableControl = 9;
inline constexpr uint16_t kRestoresOtherThanSaves = 10;
inline constexpr uint16_t kSaveStackOverflow = 11;
inline constexpr uint16_t kPageWidthBelowMinimum = 12;
inline constexpr uint16_t kPageWidthAboveMaximum = 13;
inline constexpr uint16_t kPageLengthBelowMinimum = 14;
inline constexpr uint16_t kControlInInvocationLine = 15;
inline constexpr uint16_t kSyntaxError = 100;
inline constexpr uint16_t kIllegalCharacter = 101;
inline constexpr uint16_t kListingTerminatedAt255 = 102;
inline constexpr uint16_t kArithmeticOverflow = 103;
inline constexpr uint16_t kAttemptDivideZero = 104;
inline constexpr uint16_t kForwardReferenceIllegal = 105;
inline constexpr uint16_t kExpressionExpected = 106;
inline constexpr uint16_t kRedefinitionNotAllowed = 107;
inline constexpr uint16_t kSymbolAlreadyDefined = 108;
inline constexpr uint16_t kTextFoundAfterEndStatement = 109;
inline constexpr uint16_t kMissingEndStatement = 110;
inline constexpr uint16_t kIllegalCharacterInNumber = 111;
inline constexpr uint16_t kLabelNameAlreadyUsed = 112;
inline constexpr uint16_t kMoreErrorsFoundNotReported = 113;
inline constexpr uint16_t kUndefinedSymbol = 114;
inline constexpr uint16_t kValueTruncatedToByte = 115;
inline constexpr uint16_t kDirectiveIllegalSegment = 116;
inline constexpr uint16_t kStringTerminatedEndLine = 117;
inline constexpr uint16_t kStringLongerThan2 = 118;
inline constexpr uint16_t kSourceLineTooLong = 119;
inline constexpr uint16_t kDestinationOutOfRange = 120;
inline constexpr uint16_t kSegmentNameExpected = 121;
inline constexpr uint16_t kReferenceOtherSegment = 122;
inline constexpr uint16_t kSegmentAddressExpected = 123;
inline constexpr uint16_t kInvalidAddressSegment = 124;
inline constexpr uint16_t kLocationNotBitAddressable = 125;
inline constexpr uint16_t kIllegalBitOffset = 126;
inline constexpr uint16_t kPublicAttributeIllegalSymbol = 127;
inline constexpr uint16_t kReferenceIllegalContext = 128;
inline constexpr uint16_t kLocationBelowSegmentBase = 129;
inline constexpr uint16_t kLocationCounterOverflow = 130;
inline constexpr uint16_t kRelocatedSegmentOverflow = 131;
inline constexpr uint16_t kTooMany = 132;
inline constexpr uint16_t kIllegalRelocatableExpression = 133;
inline constexpr uint16_t kIllegalRelocationTypeSegment = 134;
inline constexpr uint16_t kIllegalRegisterBankNumber = 135;
inline constexpr uint16_t kSymbolIllegalMode = 136;
inline constexpr uint16_t kPredefinedSymbolRedefinition = 137;
inline constexpr uint16_t kAlreadyDefinedAsPublic = 138;
inline constexpr uint16_t kReservedSymbolRedefinition = 139;
inline constexpr uint16_t kBitByteNotBitAddressable = 140;
inline constexpr uint16_t kPhaseError = 201;
inline constexpr uint16_t kExpressionTooComplex = 202;
inline constexpr uint16_t kInternalCrossReferenceTableGeneration = 800;
inline constexpr uint16_t kInternalCrossReferenceTableParsing = 801;
inline constexpr uint16_t kInternalUnknownClass = 900;
inline constexpr uint16_t kInternalSymbolTableGeneration = 901;
inline constexpr uint16_t kInternalSymbolTableParsing = 902;
inline constexpr uint16_t kInternalSymbolTableFull = 903;

}  // namespace dorvik::as::asm_err
