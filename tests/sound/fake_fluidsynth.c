// Stands in for the synthesiser's library under its name, with the first of
// the functions the game looks up and none of the others.
void new_fluid_settings(void) {}
