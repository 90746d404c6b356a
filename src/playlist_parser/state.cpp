// Placeholder until the parser engine lands.
