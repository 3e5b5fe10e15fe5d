// Writes tests/data/aes/zipjs_aes.zip with zip.js, whose entries are WinZip AES
// (AE-2) with a data descriptor after each entry's data, as web applications
// and Node.js programs write them when given a password.
//   node make-aes-zipjs.mjs ZIPJS_MODULE_FOLDER SOURCE_FOLDER OUT.zip PASSWORD
// Called by make-aes-fixtures.sh, which installs the module into a scratch folder.
import { readFileSync, writeFileSync } from "node:fs";
import { join } from "node:path";
import { pathToFileURL } from "node:url";

const [moduleDir, src, out, password] = process.argv.slice(2);
const zip = await import(pathToFileURL(join(moduleDir, "index.js")).href);
zip.configure({ useWebWorkers: false });

const date = new Date(Date.UTC(2024, 2, 14, 9, 26, 52));
const writer = new zip.ZipWriter(new zip.Uint8ArrayWriter(), {
  password,
  dataDescriptor: true,
  lastModDate: date,
  extendedTimestamp: false,
});
// name in the archive, source file, key strength (1: 128, 2: 192, 3: 256 bits), level (0: stored)
const entries = [
  ["small.txt", "small.txt", 3, 6],
  ["text/lines.txt", "lines.txt", 2, 6],
  ["big.bin", "big.bin", 1, 0],
  ["big-deflated.bin", "big.bin", 3, 9],
  ["empty.txt", "empty.txt", 3, 6],
];
for (const [name, file, strength, level] of entries) {
  const data = readFileSync(join(src, file));
  await writer.add(name, new zip.Uint8ArrayReader(new Uint8Array(data)), {
    encryptionStrength: strength,
    level,
  });
}
writeFileSync(out, await writer.close());
