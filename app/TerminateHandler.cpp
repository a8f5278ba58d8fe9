// What std::terminate does in Plugstart.exe (an exception that nothing catches): end the program
// at once, as the C++ library's default handler does after it has printed the exception's name to
// the standard error stream, which a Windows program without a console does not have. Defined
// here, in the program's own object, it takes the place of that handler and keeps the library's
// name demangler (some 45 KB) out of the program.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
} // namespace __gnu_cxx
