#pragma once
// Finding an installed font that can show Chinese text (used when the language file asks
// for the system's Chinese font).

#include <string>
#include <vector>

class AbstractGraphicsContext;

// Family names of installed fonts that have the glyph U+5F55 and open with the context's
// text service. Built once per process; later calls return a copy of the first list (with
// the requested ordering applied).
std::vector<std::string> findChineseFonts(AbstractGraphicsContext* context, bool preferDengxian);
// The first name of findChineseFonts with Dengxian preferred, or "" when there is none.
std::string getPreferredChineseFontName(AbstractGraphicsContext* context);

// The uncached search behind findChineseFonts, in fontconfig's order.
std::vector<std::string> enumerateChineseFonts(AbstractGraphicsContext* context);
// Moves every name whose lower-case form contains "dengxian" to the front, keeping the order
// within both groups.
void moveDengxianFirst(std::vector<std::string>& names);
