// Linked with the whole archive of one layer and the layers below it; it runs nothing. That it
// links at all is the check.
int main() { return 0; }
