; Assembled with the listing off and an error print: the error print still
; receives every faulty line and its message.
        CSEG    AT 0
START:  MOV     A,#1
        MOV     A,UNKNOWN               ; 114
        MOV     R0,300                  ; 115
        MOV     @R2,A                   ; 100
        SJMP    START
        END
