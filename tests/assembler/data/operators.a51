; Operators, precedence and number forms; each DW shows one value
        CSEG    AT 0
        DW      1+2*3*4                 ; 25
        DW      2*3+4*5                 ; 26
        DW      10-2-3                  ; 5
        DW      7/2, 7 MOD 2            ; 3, 1
        DW      1 SHL 4, 8000H SHR 15   ; 10H, 1
        DW      0F0FH AND 00FFH         ; 0FH
        DW      0F00H OR 000FH          ; 0F0FH
        DW      0FFFFH XOR 0F0FH        ; 0F0F0H
        DW      NOT 0                   ; 0FFFFH (low 16 bits)
        DW      HIGH 1234H, LOW 1234H   ; 12H, 34H
        DW      1 + HIGH 1234H          ; 13H
        DW      -1, +5, -(2+3)          ; 0FFFFH, 5, 0FFFBH
        DW      (1+2)*(3+4)             ; 21
        DW      3 < 5, 3 > 5            ; 0FFFFH, 0
        DW      3 LT 5, 5 LE 5, 6 GE 7  ; 0FFFFH, 0FFFFH, 0
        DW      2 = 2, 2 <> 2, 2 EQ 2, 2 NE 3
        DW      4 & 5, 4 | 1, 6 ^ 3, !1 ; 4, 5, 5, 0FFFEH
        DW      0FFH, 101B, 12D, 17O, 12, 0ah
        DW      'A', 'AB', ''           ; 41H, 4142H, 0
        DB      3 < 5                   ; 0FFH as a byte
        DB      ACC.7, 20H.0, 21H.3     ; bit addresses 0E7H, 0, 0BH
HERE:   DW      $, HERE+2
        DB      2 + 3 * 4 SHR 1         ; 8
        END
