$PAGELENGTH(30) PAGEWIDTH(80) TITLE(Control demo) TABS(4)
$MODE(52) REGISTERBANK(0,1) NOSYMBOLS
; General controls in the source: INCLUDE, LIST/NOLIST, EJECT, SAVE/RESTORE, GEN
$INCLUDE(controls_regs.inc)
        CSEG    AT 0
	MOV	A,#1	; tabs expand to 4
        MOV     RCAP2L,#LOW(RELOAD)
        MOV     RCAP2H,#HIGH(RELOAD)
        SETB    TR2
$NOLIST
        NOP                     ; not listed
$LIST
        MOV     T2CON,#04H
$EJECT
$SAVE GEN
$RESTORE
        DB      'A string long enough to be continued on a second listing line', 0
        END
