; Relocatable segments, externals and publics: fixups in the object module
        NAME    RELOC
        EXTRN   CODE (PUTCHAR)
        EXTRN   DATA (SHARED)
        EXTRN   BIT (FLAG)
        PUBLIC  MAIN, COUNTER, MESSAGE

PROG    SEGMENT CODE
CONST   SEGMENT CODE INPAGE
VARS    SEGMENT DATA
BITS    SEGMENT DATA BITADDRESSABLE
EMPTY   SEGMENT XDATA

        CSEG    AT 0
        LJMP    MAIN                    ; absolute code before RSEG goes to HEX

        RSEG    VARS
COUNTER: DS     1
        RSEG    BITS
STATE:  DS      1

        RSEG    PROG
MAIN:   MOV     COUNTER,#0
        MOV     DPTR,#MESSAGE
LOOP:   CLR     A
        MOVC    A,@A+DPTR
        JZ      DONE
        CALL    PUTCHAR
        INC     DPTR
        SJMP    LOOP
DONE:   MOV     A,SHARED
        SETB    FLAG
        SETB    STATE.2
        MOV     COUNTER,SHARED
        MOV     A,#HIGH(MESSAGE)
        AJMP    MAIN
        JMP     MAIN

        RSEG    CONST
MESSAGE: DB     'Hi', 0
        DW      MAIN, PUTCHAR
        END
