; main.a51 - doubles a byte twice; the work is in the included files
$DEBUG
        NAME    MAIN
$INCLUDE(defs.inc)

        CSEG    AT 0
        LJMP    START

        ORG     30H
START:  MOV     SP,#STACK
        MOV     A,#SEED
        CALL    TWICE
        NOP
        NOP
        NOP
        CALL    TWICE
        NOP
        NOP
        MOV     RESULT,A
DONE:   SJMP    DONE

$INCLUDE(twice.inc)
        END
