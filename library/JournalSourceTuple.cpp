#include "library/JournalSourceTuple.h"

#include "documents/cJournalDoc.h"
#include "library/EngineStrings.h"

std::shared_ptr<SourceTuple> JournalSourceTuple::journalSourceTuple()
{
    static const std::shared_ptr<SourceTuple> journal = [] {  // made once, under the lock for statics
        auto doc = std::make_shared<cJournalDoc>();
        doc->SetPathName(EngineStrings::utf16(QStringLiteral("Journal")));
        doc->Open();
        auto tuple = std::make_shared<JournalSourceTuple>();
        tuple->setSourceDoc(doc);
        return std::static_pointer_cast<SourceTuple>(tuple);
    }();
    return journal;
}

quint64 JournalSourceTuple::numSections()
{
    const auto doc = sourceDoc();
    return doc != nullptr ? doc->GetNumSections() : 0;
}
