        DSEG AT 30H
FIRST:  DS 1
MID:    DS 2
LAST:   DS 1
        XSEG AT 100H
XLAST:  DS 1
        CSEG AT 0
        LJMP START
        ORG 10H
VAL     EQU 5FH
START:  MOV SP,#VAL
        MOV 30H,#11H
        MOV 33H,#14H
LOOP:   SJMP LOOP
        END
