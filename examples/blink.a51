; blink.a51 - toggles an LED on P1.0 about twice a second (12 MHz crystal)
$TITLE(LED BLINKER)
        NAME    BLINK

LED     BIT     P1.0
COUNT   DATA    30H

        CSEG    AT 0
        LJMP    START

        ORG     30H
START:  MOV     SP,#5FH
        CLR     LED
LOOP:   CPL     LED
        CALL    DELAY
        SJMP    LOOP

; waits about 250 ms: 250 x 1 ms
DELAY:  MOV     COUNT,#250
D1:     MOV     R7,#4
D2:     MOV     R6,#123
D3:     DJNZ    R6,D3
        DJNZ    R7,D2
        DJNZ    COUNT,D1
        RET

        END
