// Placeholder translation unit so the app library has a source until the models land.
