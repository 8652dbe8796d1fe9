namespace dorvik::assembler {}
