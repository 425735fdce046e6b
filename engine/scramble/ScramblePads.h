// The scramble pads shared by every component that exchanges scrambled text: the engine, the
// application's request and sync code, and the local stand-in services. Change a pad only together
// with everything that reads what it wrote (a stored password scrambled with the default pad would
// no longer read back).
#pragma once

namespace qs::scramble {

// The built-in default pad: 310 symbols of the 62-symbol alphabet.
inline constexpr char kDefaultScramblePad[] = "iTECac2WA9W5RF6U3EIts7q0VAr2flb6GSxrkn5NpjMWDIxtr9mxQeKBTTCwTz"
                                              "LqbidkG48yPPYyCvYFajV5Fiyb201EY0peCrKwYP3vApI16vMlpCbc4oq78sbf"
                                              "uHsV387FKTgo1EIB39JvX9qT7iGwTYAvntsHg6Aq8VcLePyoJHRzxxtrmulP5o"
                                              "QiaAkB5QoUFxF9oqpHriC83mqBYWFiCJlsGehT3JtwqKvkzqJtslKKk6Ry7dOZ"
                                              "Mx5Iun6Pyfds5R0xRNHlSBlfW5tiEjLptvAAp2ttFNrjiASsbGmKOg8VzY2w3n";

inline constexpr int kDefaultScramblePadLength = sizeof(kDefaultScramblePad) - 1;
static_assert(kDefaultScramblePadLength == 310, "the default pad holds 310 symbols");

}  // namespace qs::scramble
