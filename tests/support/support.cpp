// Shared test helpers that need a translation unit of their own go beside this file.
