; int0.a51 - counts falling edges on INT0 (P3.2) in an interrupt handler and
; shows the count on P1 (a lit LED is a set bit). In the workbench each
; Debug | Inputs | INT0 edge (Ctrl+Alt+F1), or P3.2 driven low in the port
; window, runs the handler once.
$TITLE(INT0 EDGE COUNTER)
        NAME    INT0CNT

EDGES   DATA    30H

        CSEG    AT 0
        LJMP    START
        CSEG    AT 3
        LJMP    ON_INT0

        ORG     30H
START:  MOV     SP,#5FH
        MOV     EDGES,#0
        MOV     P1,#0
        SETB    IT0             ; INT0 takes falling edges
        SETB    EX0
        SETB    EA
IDLE:   SJMP    IDLE

; one falling edge on INT0: one more in EDGES and on P1
ON_INT0:
        PUSH    ACC
        INC     EDGES
        MOV     A,EDGES
        MOV     P1,A
        POP     ACC
        RETI

        END
