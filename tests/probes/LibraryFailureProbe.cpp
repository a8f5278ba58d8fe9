// The C++ library's failure reports as Plugstart.exe has them (app/LibraryFailures.cpp, linked
// into this probe as into the program): each failure below must reach a catch (...) as an
// exception, as the auto-run's catch-all expects. Exits with the number of failures that did not
// (0: all were caught); a failure that ends the process instead gives another exit code.
#include <cstddef>
#include <functional>
#include <new>
#include <string>
#include <vector>

namespace {

int g_missed = 0;

template <typename Failing>
void ExpectCaught(Failing failing)
{
    try {
        failing();
        ++g_missed;
    } catch (...) {
    }
}

volatile std::size_t g_huge = static_cast<std::size_t>(-1) / 2; // read at run time

} // namespace

int main()
{
    // clang-format off
    ExpectCaught([] { std::wstring text(L"abc"); (void)text.at(7); });            // out of range
    ExpectCaught([] { std::string text("abc"); (void)text.substr(9); });           // out of range
    ExpectCaught([] { std::wstring text; text.reserve(text.max_size() + g_huge); }); // length
    ExpectCaught([] { std::wstring text; text.resize(g_huge * 2 + 1); });          // length
    ExpectCaught([] { std::vector<int> numbers; (void)numbers.at(1); });           // out of range
    ExpectCaught([] { std::vector<int> numbers; numbers.reserve(g_huge); });       // length
    ExpectCaught([] { const wchar_t* none = nullptr; std::wstring text(none, none + g_huge); });
    ExpectCaught([] { std::function<void()> empty; empty(); });                    // bad function call
    ExpectCaught([] { delete[] new int[g_huge]; });                                // array too long
    ExpectCaught([] { std::__throw_system_error(1); }); // what a std::mutex the system refuses reports
    // clang-format on
    return g_missed;
}
