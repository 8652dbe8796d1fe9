#pragma once
// The object-file layer: readers and writers of the program files the
// debugger loads and saves (Intel HEX, OMF-51 object modules), the include
// and define scanning of sources and the mapping of code addresses to source
// lines through listings.
