// Keeps every folder library non-empty while the folder is still being filled.
