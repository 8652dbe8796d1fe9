; sum.a51 - adds the bytes of a table into R7 and stores the total at 40H
$DEBUG
        NAME    SUM

TOTAL   DATA    40H

        CSEG    AT 0
        LJMP    START

        ORG     30H
START:  MOV     SP,#5FH
        MOV     DPTR,#TABLE
        MOV     R6,#LENGTH
        MOV     R7,#0
NEXT:   CALL    ADDBYTE
        INC     DPTR
        DJNZ    R6,NEXT
        MOV     TOTAL,R7
DONE:   SJMP    DONE

; adds the code byte at DPTR to R7
ADDBYTE:
        CLR     A
        MOVC    A,@A+DPTR
        ADD     A,R7
        MOV     R7,A
        RET

TABLE:  DB      1,2,3,4,5
LENGTH  EQU     $-TABLE

        END
