#pragma once
// printf-style formatting into a string, with the format checked against its arguments.
//
// Many formats come from language files, which translators edit: a conversion that does not
// fit its argument ("%s" for a number, one "%d" more than there are arguments, "%n") would
// make printf read or write memory it must not touch. formatString therefore reads the
// format first and, when its conversions do not fit the types of the arguments, logs the
// format at level 50 and returns it unformatted: a broken translation shows its raw text,
// it never crashes the program.
//
// Arguments are what printf takes: integers, floating-point numbers, C strings and
// pointers. Anything else (a std::string, say) does not compile; pass .c_str().
//
//   formatString("%d%% of %s", 42, "bitrate")   // "42% of bitrate"
//   formatString("%s left", 3)                  // "%s left", and a log line

#include <cstddef>
#include <string>
#include <type_traits>

// The kind of one printf argument, after the default argument promotions.
enum class FormatArgKind : unsigned char { Int, Long, Double, LongDouble, CString, WideCString, Pointer };

namespace formatdetail {

template <typename T>
struct Unsupported : std::false_type {};

template <typename T>
constexpr FormatArgKind kindOf() {
    using U = std::remove_cv_t<T>;
    if constexpr (std::is_enum_v<U>) {
        return sizeof(U) <= sizeof(int) ? FormatArgKind::Int : FormatArgKind::Long;
    } else if constexpr (std::is_integral_v<U>) {
        return sizeof(U) <= sizeof(int) ? FormatArgKind::Int : FormatArgKind::Long;
    } else if constexpr (std::is_same_v<U, float> || std::is_same_v<U, double>) {
        return FormatArgKind::Double;
    } else if constexpr (std::is_same_v<U, long double>) {
        return FormatArgKind::LongDouble;
    } else if constexpr (std::is_pointer_v<U> && std::is_same_v<std::remove_cv_t<std::remove_pointer_t<U>>, char>) {
        return FormatArgKind::CString;
    } else if constexpr (std::is_pointer_v<U> &&
                         std::is_same_v<std::remove_cv_t<std::remove_pointer_t<U>>, wchar_t>) {
        return FormatArgKind::WideCString;
    } else if constexpr (std::is_pointer_v<U> || std::is_null_pointer_v<U>) {
        return FormatArgKind::Pointer;
    } else {
        static_assert(Unsupported<U>::value, "formatString takes integers, floating-point numbers, C strings "
                                             "and pointers only");
        return FormatArgKind::Pointer;
    }
}

// The format, logged as not fitting its arguments.
std::string rejectFormat(const std::string& format);

}  // namespace formatdetail

// Whether the conversions of format take exactly the given argument kinds: every
// conversion has an argument of its kind (arguments left over are ignored, as printf does),
// and "%n", unknown conversions and a mix of numbered ("%1$s") and plain conversions are
// refused. Numbered conversions must use every argument up to the highest number.
bool formatMatchesArguments(const char* format, const FormatArgKind* kinds, std::size_t count);

// vsnprintf into a string, without any check. An encoding error yields "".
std::string formatUnchecked(const char* format, ...);

template <typename... Args>
std::string formatString(const std::string& format, Args... args) {
    static constexpr FormatArgKind kinds[sizeof...(Args) + 1] = {formatdetail::kindOf<Args>()...,
                                                                 FormatArgKind::Int};
    if (!formatMatchesArguments(format.c_str(), kinds, sizeof...(Args))) return formatdetail::rejectFormat(format);
    return formatUnchecked(format.c_str(), args...);
}
