// The start-up benchmark's yardstick: what any C++ program costs to start, read a small file
// and say something about it.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: read_file FILE\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::cout << argv[1] << ": " << text.size() << " bytes\n";
    return in.bad() ? 1 : 0;
}
