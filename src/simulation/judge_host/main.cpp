// Host process for decision modules; filled in with the module interface.
int main() { return 0; }
