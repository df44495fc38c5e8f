// Placeholder: the privileged helper is built in its own change.
int main() { return 1; }
