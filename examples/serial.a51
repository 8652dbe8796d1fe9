; serial.a51 - echoes every character received on the serial port, upper-cased,
; at 9600 baud from an 11.0592 MHz crystal (timer 1, mode 2); the serial
; interrupt collects characters into a small ring buffer.
$MODE(52)
        NAME    SERIAL

BUFSIZE EQU     16
RELOAD  EQU     256-3                   ; 9600 baud with SMOD = 0

        DSEG    AT 30H
HEAD:   DS      1                       ; next slot to fill
TAIL:   DS      1                       ; next slot to read
        ISEG    AT 40H
RING:   DS      BUFSIZE

        CSEG    AT 0
        LJMP    START
        ORG     23H                     ; serial interrupt
        LJMP    SERIAL_ISR

        ORG     40H
START:  MOV     SP,#5FH
        MOV     HEAD,#0
        MOV     TAIL,#0
        MOV     TMOD,#20H               ; timer 1: 8-bit auto-reload
        MOV     TH1,#RELOAD
        MOV     TL1,#RELOAD
        SETB    TR1
        MOV     SCON,#50H               ; mode 1, receiver on
        SETB    ES
        SETB    EA

MAIN:   MOV     A,TAIL
        CJNE    A,HEAD,TAKE             ; something in the ring?
        SJMP    MAIN
TAKE:   ADD     A,#RING
        MOV     R0,A
        MOV     A,@R0
        CALL    UPPER
        CALL    PUTC
        MOV     A,TAIL
        INC     A
        ANL     A,#BUFSIZE-1
        MOV     TAIL,A
        SJMP    MAIN

; A: character; lower-case letters become upper case
UPPER:  CJNE    A,#'a',$+3
        JC      UP_DONE
        CJNE    A,#'z'+1,$+3
        JNC     UP_DONE
        ADD     A,#'A'-'a'
UP_DONE: RET

; sends A and waits until it has gone
PUTC:   CLR     ES
        MOV     SBUF,A
        JNB     TI,$
        CLR     TI
        SETB    ES
        RET

SERIAL_ISR:
        PUSH    ACC
        PUSH    PSW
        USING   1
        MOV     PSW,#08H                ; register bank 1
        JNB     RI,ISR_END
        CLR     RI
        MOV     A,HEAD
        ADD     A,#RING
        MOV     R0,A
        MOV     @R0,SBUF
        MOV     A,HEAD
        INC     A
        ANL     A,#BUFSIZE-1
        MOV     HEAD,A
ISR_END: POP    PSW
        POP     ACC
        RETI

        END
