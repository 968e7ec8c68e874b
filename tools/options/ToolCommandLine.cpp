#include "ToolCommandLine.h"

#include <iostream>
#include <sstream>

namespace po = boost::program_options;

ToolCommandLine::ToolCommandLine(std::string program, std::string synopsis, std::string about)
    : program_(std::move(program)), synopsis_(std::move(synopsis)), about_(std::move(about)) {
    options_.add_options()("help,h", "print this help and exit");
}

int ToolCommandLine::parse(int argc, char** argv) {
    try {
        po::store(po::command_line_parser(argc, argv).options(options_).positional(positional_).run(), values_);
        if (has("help")) {
            std::cout << "usage: " << program_ << " " << synopsis_ << "\n\n" << about_ << "\n\n" << options_;
            std::cout.flush();
            return 0;
        }
        po::notify(values_);
    } catch (const po::error& e) {
        return fail(e.what());
    }
    return -1;
}

int ToolCommandLine::fail(const std::string& message) const {
    std::cerr << program_ << ": " << message << " (see --help)" << std::endl;
    return 2;
}

int ToolCommandLine::badValue(const char* option, const std::string& value, const std::string& expected) const {
    return fail("the argument ('" + value + "') for option '--" + option + "' is invalid: " + expected);
}

bool ToolCommandLine::inRange(const char* option, int low, int high) const {
    if (!has(option)) return true;
    const int n = values_[option].as<int>();
    if (n >= low && n <= high) return true;
    badValue(option, std::to_string(n), "from " + std::to_string(low) + " to " + std::to_string(high));
    return false;
}

bool ToolCommandLine::inRange(const char* option, double low, double high) const {
    if (!has(option)) return true;
    const double n = values_[option].as<double>();
    if (n >= low && n <= high) return true;  // false for NaN too
    std::ostringstream value, lowText, highText;
    for (std::ostringstream* o : {&value, &lowText, &highText}) o->precision(10);
    value << n;
    lowText << low;
    highText << high;
    badValue(option, value.str(), "from " + lowText.str() + " to " + highText.str());
    return false;
}
