// Starting the dialog's toolkit must not give the program decimal commas.
#include "app/launch_dialog.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

TEST(DialogToolkit, KeepsTheDecimalPointUnderACommaLocale)
{
    std::string locale;
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE.utf8", "fr_FR.utf8"}) {
        if (std::setlocale(LC_ALL, name) && std::string(std::localeconv()->decimal_point) == ",")
            locale = name;
        std::setlocale(LC_ALL, "C");
        if (!locale.empty())
            break;
    }
    if (locale.empty())
        GTEST_SKIP() << "no German or French locale installed";
    setenv("LC_ALL", locale.c_str(), 1);

    std::string error;
    EXPECT_TRUE(initDialogToolkit(error) || !error.empty());
    // The toolkit did adopt the environment for everything but numbers.
    EXPECT_EQ(std::string(std::setlocale(LC_CTYPE, nullptr)), locale);
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", 16.667);
    EXPECT_STREQ(text, "16.667");
    EXPECT_DOUBLE_EQ(std::strtod("2.5", nullptr), 2.5);
}
