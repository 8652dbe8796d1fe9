; Directives: symbol definitions, data, storage, absolute segments, USING
$DATE(06-12-26) XREF
        NAME    DIRECT

CR      EQU     0DH             ; number
LF      EQU     CR-3            ; expression of a number
MASK    SET     0F0H            ; may be redefined
MASK    SET     MASK SHR 4
PTR     EQU     R1              ; register symbol
ACCU    EQU     A
FLAGS   DATA    20H
BUFFER  IDATA   80H
PORT    XDATA   8000H
READY   BIT     FLAGS.3         ; bit 3 of 20H: bit address 03H
ENTRY   CODE    0100H

        DSEG    AT 30H
COUNT:  DS      2
TOTAL:  DS      1

        ISEG    AT 60H
STACK:  DS      16

        BSEG    AT 10H
FLAG1:  DBIT    1
FLAG2:  DBIT    2

        XSEG    AT 2000H
XBUF:   DS      100H

        CSEG    AT 0
        LJMP    ENTRY

        ORG     0100H
        USING   2
        MOV     PSW,#10H
        MOV     PTR,#BUFFER
        MOV     ACCU,@PTR
        MOV     DPTR,#PORT
        MOVX    @DPTR,A
        SETB    READY
        CLR     FLAG2
        MOV     COUNT,#LF
        SJMP    $

TABLE:  DB      1, 2, CR, LF
TEXT:   DB      'Hello, World', 0
QUOTE:  DB      'It''s', 'A'+1
WORDS:  DW      1234H, TABLE, 'AB'
        DS      4
AFTER:  DB      MASK
        CSEG
        DW      $

        END
