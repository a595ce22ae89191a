#include <iostream>
int main() { std::cout << "qxrtf\n"; return 0; }
