// Entry of the Linux updater (terminal front end).
int main() { return 0; }
