// Filled in as the module is built.
