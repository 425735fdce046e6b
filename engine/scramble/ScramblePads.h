// The scramble pads shared by every component that exchanges scrambled text: the engine, the
// application's request and sync code, and the local stand-in services. Change a pad only together
// with everything that reads what it wrote (a stored password scrambled with the default pad would
// no longer read back).
#pragma once

namespace ScramblePads {

// The built-in default pad: 310 symbols of the 62-symbol alphabet.
inline constexpr char kDefaultScramblePad[] = "iTECac2WA9W5RF6U3EIts7q0VAr2flb6GSxrkn5NpjMWDIxtr9mxQeKBTTCwTz"
                                              "LqbidkG48yPPYyCvYFajV5Fiyb201EY0peCrKwYP3vApI16vMlpCbc4oq78sbf"
                                              "uHsV387FKTgo1EIB39JvX9qT7iGwTYAvntsHg6Aq8VcLePyoJHRzxxtrmulP5o"
                                              "QiaAkB5QoUFxF9oqpHriC83mqBYWFiCJlsGehT3JtwqKvkzqJtslKKk6Ry7dOZ"
                                              "Mx5Iun6Pyfds5R0xRNHlSBlfW5tiEjLptvAAp2ttFNrjiASsbGmKOg8VzY2w3n";

inline constexpr int kDefaultScramblePadLength = sizeof(kDefaultScramblePad) - 1;
static_assert(kDefaultScramblePadLength == 310, "the default pad holds 310 symbols");

// Pad 1: the web script's request queries (account calls, owned books, downloads, covers, offers).
inline constexpr char kWebScriptScramblePad[] = "IWedgJxqh7NQiNRbiXMZgLh2lq0E0YfiOZrz9rNiqz7b21Po4uNROQ7kqIJ7VP"
                                                "8pjvhgsTFaKNrIYth55H0JcUeubNzt7zaFmdefrMrTpAjCYOzo7ODdpY0U37hq"
                                                "0GgM11dcecopnUfRiEKf3nxnI2OwgQjvuIZNWQZ7yPePHpQqF2MCXjNK2yDs4A"
                                                "wOyJBApp6szvKx11N6ntbUSCDX4tDwJUgXngPMdOV2idC3ZuGcc7SOUfHdS6hY"
                                                "9gTtiV4UI6MJxUZnLggZWLVAikuQjaDjumKYnrl6OqKx4TFfctrfMhISWHybsr";
static_assert(sizeof(kWebScriptScramblePad) - 1 == 310, "the web-script pad holds 310 symbols");

// Pad 2: the log-in values of the sync connection's CONNECT line.
inline constexpr char kSyncConnectScramblePad[] = "VcMO7ccGYEWefYxsmTsPrdnT0rEV54Qot9zXvqdTM8N5t4SJZaGDrkxyE8bGDy"
                                                  "CT0q7SER54e4b7kehL4b6D3LPTbYQ37mjwTN8SivRThwaQtHgaQloBDzkWmFa7"
                                                  "BWgfNlXjQiPKlCsFFMdSKLlPO2JuMBZh9igLllGp1FiWk7LzwSxvkKUv3EV1ag"
                                                  "BFXqN7vv8AyPWl578FSd0vA3WvJcNwvnNZLusXZyEEOJ6gaprveFM1o3K2wFYE"
                                                  "ma8NHK2szjwHZX2dnPISQK5snL3l5NQMuxixa9mcsqdFNSppRttRYd0TINjAme";
static_assert(sizeof(kSyncConnectScramblePad) - 1 == 310, "the sync pad holds 310 symbols");

// Pad 3: the customer block handed to the store pages.
inline constexpr char kStoreScramblePad[] = "bOFpkXG3kiq9QbisoOyroS67OrO9H8ouSnqovZjc8CiAa8KvTgnzmg5eHfppF0"
                                            "KNFmOYxAFZgoY6cH2eiDp642pTO5q0fOJIBvfcEhiaMN0JlmzVarymEatLuV3q"
                                            "YEx8pzXHDxamimteOstyuEp0XvQVRSyQHRtB2gs96mibwcdb5QucN4gVk3lWsN"
                                            "aZ3UCEHDouPy1fM6gWE25TMt2nj7rywjlyifvZ2O967eQ8slJi96Kvlcx2Gz1t"
                                            "19jzTSjHI506xrNPMbHcMlR8CkONEwSiEnOzUvAPzQhAQ0iBwSl1RwXXEUR8Xg";
static_assert(sizeof(kStoreScramblePad) - 1 == 310, "the store pad holds 310 symbols");

}  // namespace ScramblePads
