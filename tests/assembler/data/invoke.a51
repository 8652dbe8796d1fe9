; MODE(652) given on the invocation line knows the 8052 names
        CSEG    AT 0
        MOV     SCON,#50H
        MOV     T2CON,#34H
        SETB    TR2
        SETB    TI
        MOV     A,SBUF
        END
