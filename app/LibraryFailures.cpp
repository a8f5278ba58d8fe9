// How the C++ library reports a failure in Plugstart.exe. The library calls these functions when
// it cannot serve a request (a string or array longer than it can hold, an index out of range, an
// empty function called, a lock the system refused): its own versions throw std::length_error,
// std::system_error and their kin, whose messages bring a second implementation of std::string
// into the program (some 50 KB, and as much again for std::system_error). Plugstart never asks
// an exception for its type or message: the auto-run's catch (...) is the only handler, and
// an exception that reaches no handler ends the program. So here each throws an exception of the
// plain base type (the bad_* ones their own type, which the library has anyway), and the
// catch-all catches them as before. Defined in the program's own object, they take the place of
// the library's (tests/probes/LibraryFailureProbe.cpp proves they are caught).
#include <exception>
#include <new>
#include <typeinfo>

namespace std {

void __throw_bad_exception() { throw std::bad_exception(); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_bad_cast() { throw std::bad_cast(); }
void __throw_bad_typeid() { throw std::bad_typeid(); }
void __throw_logic_error(const char*) { throw std::exception(); }
void __throw_domain_error(const char*) { throw std::exception(); }
void __throw_invalid_argument(const char*) { throw std::exception(); }
void __throw_length_error(const char*) { throw std::exception(); }
void __throw_out_of_range(const char*) { throw std::exception(); }
void __throw_out_of_range_fmt(const char*, ...) { throw std::exception(); }
void __throw_runtime_error(const char*) { throw std::exception(); }
void __throw_range_error(const char*) { throw std::exception(); }
void __throw_overflow_error(const char*) { throw std::exception(); }
void __throw_underflow_error(const char*) { throw std::exception(); }
void __throw_system_error(int) { throw std::exception(); } // a lock the system refused

} // namespace std
