/* The empty program: what starting a process costs. */
int main(void) { return 0; }
