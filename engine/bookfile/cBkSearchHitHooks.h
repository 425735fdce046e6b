// cBkSearchHitHooks: how the book engine asks the search subsystem about search results while it
// writes section text: whether a section is a hit of a kept search result or of the search pane's
// result aggregator, and which words to mark there. The search subsystem installs its answers at
// start-up (cStartupHook, listed in documents/StartupHooks.h); until it does (and in tests that need no search), every section has no hits.
//
// The hooks are called with the book file's rendering mutex held, so they must not render text of
// the same book. Registration happens before any rendering thread starts.

#pragma once

#include <cstdint>

#include "engine/foundation/cStartupHook.h"

class cSearchExpressionResult;
class cSearchWordList;

class cBkSearchHitHooks : public cStartupHook<cBkSearchHitHooks> {
public:
    virtual ~cBkSearchHitHooks() = default;

    // Whether the section is a hit of the result.
    virtual bool resultContainsSection(const cSearchExpressionResult* /*result*/, uint32_t /*section*/) const
    {
        return false;
    }
    // The words to mark in the result's hits; null when none.
    virtual const cSearchWordList* resultWordList(const cSearchExpressionResult* /*result*/) const { return nullptr; }
    // Whether the section is a hit of any item of the aggregator.
    virtual bool aggregatorHasSection(const void* /*aggregator*/, uint32_t /*section*/) const { return false; }
    // The word list of the first aggregator item whose hits hold the section; null when none does.
    virtual const cSearchWordList* aggregatorWordsForSection(const void* /*aggregator*/, uint32_t /*section*/) const
    {
        return nullptr;
    }
};
