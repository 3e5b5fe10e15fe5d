// Huffman decoding tables of the Deflate decoder: the fixed code (built once at
// start-up, with a saved copy) and the codes of each dynamic block.
//
// Tables are the fixed-size arrays of EngineState; nothing is allocated per
// block. Entries follow deflate_constants.h: symbol and code length packed
// together, -1 where no code ends, a top-bit reference for codes longer than
// the 9-bit first level (7 bits for the code-length code, which has no second
// level).
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
