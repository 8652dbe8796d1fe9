; One line per error class; the run goes on after each
        CSEG    AT 0
VALUE   EQU     10H
        MOV     A,#1 +                  ; 100 syntax error
        MOV     A,#1 ~ 2                ; 101 illegal character
        MOV     A,#99999999999H         ; 103 overflow in a constant
        MOV     A,#5/0                  ; 104 divide by zero
VALUE   SET     1                       ; 107 EQU symbol redefined by SET
TWICE:  NOP
TWICE:  NOP                             ; 112 label used twice
        DB      'abc' + 1               ; 100 string in an operation
        MOV     A,#0FG                  ; 111 bad digit
        MOV     A,NOWHERE               ; 114 undefined symbol
        MOV     A,300                   ; 115 truncated to a byte
        DB      300                     ; 115 in DB
        MOV     A,#'abc'                ; 118 long string
        SJMP    TWICE+200               ; 120 out of range
        RSEG    VALUE                   ; 121 not a segment
        MOV     A,TWICE                 ; 123 code address as data
        MOV     C,30H.0                 ; 125 not bit addressable
        MOV     C,20H.9                 ; 126 bad bit offset
        ORG     10000H                  ; 130 location counter overflow
        USING   4                       ; 135 bad register bank
SCON    EQU     5                       ; 137 predefined name
AR3:    NOP                             ; 139 reserved symbol
        MOV     C,(((((((((((((((((1))))))))))))))))) ; 202 too complex
        DSEG
        DB      1                       ; 116 DB outside CODE
        CSEG
        MOV     A,'x                    ; 117 unterminated string
        END
        NOP                             ; 109 text after END
