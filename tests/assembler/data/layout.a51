$PAGELENGTH(20) PAGEWIDTH(64) TITLE(LAYOUT) XREF
; Listing layout at a narrow page: headers on every page, long lines
; continued, the syntax error marker and long messages broken at the
; page width, and long reference lists.
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
        END
