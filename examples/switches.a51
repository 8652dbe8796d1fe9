; switches.a51 - copies a bank of eight switches on the external data bus at
; 8000H to P1, again and again. In the workbench, Tools | Virtual hardware
; puts the switches at 8000H: each read (MOVX A,@DPTR) loads their byte into
; A, and an LED panel (Tools | LED panel) on P1 shows it.
$TITLE(SWITCHES TO P1)
        NAME    SWITCHES

SWBANK  EQU     8000H

        CSEG    AT 0
        LJMP    START

        ORG     30H
START:  MOV     SP,#5FH
        MOV     DPTR,#SWBANK
LOOP:   MOVX    A,@DPTR
        MOV     P1,A
        SJMP    LOOP

        END
