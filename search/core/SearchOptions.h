#pragma once
// The options every search run receives. The keys are the names under which callers
// hand them over; SearchOptions is their typed form.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

inline constexpr const char* kSearchOptionInterpretation = "interpretation";
inline constexpr const char* kSearchOptionWordForm = "wordform";
inline constexpr const char* kSearchOptionSearchNotes = "searchnotes";
inline constexpr const char* kSearchOptionTheNote = "thenote";
inline constexpr const char* kSearchOptionSearchLimits = "searchlimits";
inline constexpr const char* kSearchOptionStopWords = "stopWords";
inline constexpr const char* kSearchOptionProgressDelegate = "progressDelegate";
inline constexpr const char* kSearchOptionLayoutUuid = "layoutUuid";
inline constexpr const char* kSearchOptionSearchID = "searchID";
inline constexpr const char* kSearchOptionSearchTag = "searchtag";

// Values of "interpretation": how the query is read. Absent or any other value
// behaves as "all" in the phrase search.
inline constexpr const char* kInterpretationGoto = "goto";
inline constexpr const char* kInterpretationXref = "xref";
inline constexpr const char* kInterpretationUserDataCount = "userDataCount";
inline constexpr const char* kInterpretationExact = "exact";
inline constexpr const char* kInterpretationAll = "all";
inline constexpr const char* kInterpretationAny = "any";

// Values of "wordform": which form of each word is looked up ("exact" when absent).
inline constexpr const char* kWordFormExact = "exact";
inline constexpr const char* kWordFormStem = "stem";
inline constexpr const char* kWordFormMetaphone = "metaphone";
inline constexpr const char* kWordFormStemOrMeta = "stemormeta";

// Receives the progress of a run on the main thread; the reports carry the id of
// the search they belong to, so a receiver can drop stale ones.
class SearchProgressDelegate {
public:
    virtual ~SearchProgressDelegate() = default;
    virtual void searchProgressAddToCount(uint64_t addToCount, int64_t searchID) { (void)addToCount, (void)searchID; }
    virtual void searchProgressIncrementBy(uint64_t incrementBy, int64_t searchID)
    {
        (void)incrementBy, (void)searchID;
    }
};

struct SearchOptions {
    std::optional<std::string> interpretation;
    std::optional<std::string> wordform;
    bool searchnotes = false;
    std::optional<std::u16string> thenote;
    std::optional<std::u16string> searchlimits;
    bool stopWords = false;
    std::shared_ptr<SearchProgressDelegate> progressDelegate;  // shared with the runs that report to it
    std::optional<std::string> layoutUuid;
    std::optional<int64_t> searchID;
    std::optional<int64_t> searchtag;

    // "exact" when absent.
    std::string effectiveWordForm() const { return wordform.value_or(kWordFormExact); }
};
