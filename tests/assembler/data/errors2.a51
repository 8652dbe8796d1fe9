; More error classes; this source has no END statement (110)
$PAGEWIDTH(100)
$PAGEWIDTH(110)                         ; 9 the same control twice
        CSEG    AT 0
        NOP
$MODE(52)                               ; 7 primary control after a statement
        MOV     A,#LATER                ; forward reference is fine here
LATER   EQU     5
        ORG     AHEAD                   ; 105 forward reference
AHEAD   EQU     10H
PROG    SEGMENT CODE
OTHER   SEGMENT CODE
DUP     EQU     1
DUP     EQU     1                       ; 108 already defined
        EXTRN   CODE (FAR)
        MOV     A,#FAR+FAR              ; 133 illegal relocatable expression
        ORG     FAR                     ; 106 or 128: external here
        RSEG    PROG
HERE:   NOP
        RSEG    OTHER
        ORG     HERE                    ; 122 reference to other segment
        CSEG    AT 100H
        ORG     80H                     ; 129 below the segment base
ODD     SEGMENT DATA INBLOCK            ; 134 relocation type
        PUBLIC  PROG                    ; 127 segment name as public
        MOV     C,P1.0 + HERE           ; 106 relocatable bit address
        DB      1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1
        NOP                             ; the line above is too long (119)
