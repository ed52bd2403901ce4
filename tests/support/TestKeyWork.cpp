// Linked into every test program, never into the program: the lightest work libsodium's
// Argon2id accepts, so that tests which set or type a password do not wait on the key
// derivation. The program refuses wraps carrying these figures.
#include <cstddef>

extern "C" void velmora_test_key_work(unsigned long long* ops, std::size_t* mem)
{
    *ops = 1;
    *mem = std::size_t(8) * 1024;
}
