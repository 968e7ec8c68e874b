#pragma once
// The command line of a tool, read with boost program_options the way Debian's programs
// behave: --help prints the usage on standard output (exit status 0); an unknown option,
// a missing value or a value that does not convert or is out of range prints one line
// "<program>: <what is wrong> (see --help)" on standard error (exit status 2). The usage
// names the program by its installed name, whatever path started it.

#include <boost/program_options.hpp>
#include <string>

class ToolCommandLine {
public:
    // synopsis: what follows the program's name on the usage line; about: what the tool
    // does, printed between the usage line and the options.
    ToolCommandLine(std::string program, std::string synopsis, std::string about);

    // Add the tool's options here; --help (-h) is already in.
    boost::program_options::options_description& options() { return options_; }
    // Positional arguments, under the name of an option declared in options().
    void positional(const char* name, int maxCount) { positional_.add(name, maxCount); }

    // Parses the command line. -1 when the tool goes on; otherwise the exit status to end
    // with (0 after --help, 2 after the error line).
    int parse(int argc, char** argv);

    const boost::program_options::variables_map& values() const { return values_; }
    bool has(const char* name) const { return values_.count(name) != 0; }

    // Prints the error line for message on standard error and returns 2.
    int fail(const std::string& message) const;
    // The error line for a value that is not one the option accepts; expected says what is.
    int badValue(const char* option, const std::string& value, const std::string& expected) const;

    // Checks that an int or a double option's value lies in [low, high]. False after the
    // error line was printed.
    bool inRange(const char* option, int low, int high) const;
    bool inRange(const char* option, double low, double high) const;

    const std::string& program() const { return program_; }

private:
    std::string program_;
    std::string synopsis_;
    std::string about_;
    boost::program_options::options_description options_{"Options"};
    boost::program_options::positional_options_description positional_;
    boost::program_options::variables_map values_;
};
