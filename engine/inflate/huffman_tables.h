// Huffman decoding tables of the Deflate decoder: the fixed code (built once at
// start-up, with a saved copy) and the codes of each dynamic block.
//
// Tables are the fixed-size arrays of EngineState; nothing is allocated per
// block. Entries follow deflate_constants.h: literal/length and distance
// entries carry the literal or the base value, the extra-bit count and the bits
// to consume, with a reference to a second-level table for codes longer than
// the 9-bit first level; the code-length code (7 bits, no second level) packs
// symbol and code length, -1 where no code ends.
//
// Every reader and builder reports damaged data as ErrorNo 1 "The structure of
// ZIP file is damaged!" and leaves the tables in a state the decoder never
// reads (the driver stops at the error).
#pragma once

namespace vantelo {

// Reads HLIT, HDIST, HCLEN and the code-length code lengths.
void ReadDynamicHeader();
// Builds CodeLenTable from CodeLenLengths.
void BuildCodeLenTable();
// Reads the literal/length and distance code lengths into LitLengths and
// DistLengths with the code-length code.
void ReadCodeLengths();
// Builds LitTable (and its second-level tables) from LitLengths.
void BuildLitTable();
// Builds DistTable (and its second-level tables) from DistLengths.
void BuildDistTable();
// Copies the saved fixed code into the working tables, unless they hold it already.
void RestoreFixedTables();

}  // namespace vantelo
