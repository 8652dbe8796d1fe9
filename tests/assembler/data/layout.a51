$PAGELENGTH(20) PAGEWIDTH(64) TITLE(LAYOUT) XREF
; Listing layout at a narrow page: headers on every page, long lines
; continued, the syntax error marker and long messages broken at the
; page width, long reference lists, and the AJMP message (its word as written).
LOOP:   NOP
        DB 1,                                        2 3        ; 100: the marker on the next line
        MOV A,#NNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNN+NNNNNNNNNNNNNNNNNNNNNNNNNNNNNNNN
        MOV A,#1 ; abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyzabcdefghijklmnop
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        SJMP LOOP
        AJMP 0800H              ; 120: another block
        END
