#pragma once
// Progress of a bus search for the terminal: which rate and address are being asked, and how
// long the rest will take at the pace so far. Read off the status text every probe shows.
#include <optional>
#include <string>
#include <vector>

struct SearchPlan {
    std::vector<int> Rates;  // in search order
    int From = 1, To = 1;    // the range at the fast rates
    int VrxLast = 225;       // the range at 4800 is 1..VrxLast
};

// "Поиск: 9600 бит/с, адрес 3 (скорость 2 из 6), осталось 1 мин 05 с" for the status text of a
// probe ("Поиск сетевых адресов 9600 3..."), after `elapsedSeconds`; nothing for other texts.
std::optional<std::string> SearchProgressText(const std::string& status, const SearchPlan& plan,
                                              double elapsedSeconds);
