#pragma once
// The installer's check of its own file before anything is written.

namespace kavrel {

// Reads the installer's own executable and compares it with the digest
// stored at build time. Shows "Failed to check up the package file!" when the
// file cannot be read, "The package file has been distorted!\r\nVirus?" when
// it differs; true when it is intact. It only reads.
bool IntegritySelfCheck();

}  // namespace kavrel
