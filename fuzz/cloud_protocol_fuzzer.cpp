// Feeds the bytes to every reader of the cloud services' wire formats: sync lines (with and without
// a lead field, through the line buffer), the scrambled log-in values, web-script queries, the
// store's customer block, sync times and record fields. A line the writer made from the parsed
// fields must parse back to the same fields.

#include <cstddef>
#include <cstdint>

#include "cloud/protocol/StoreCustomerBlock.h"
#include "cloud/protocol/SyncCommand.h"
#include "cloud/protocol/SyncLineBuffer.h"
#include "cloud/protocol/SyncRecordTypes.h"
#include "cloud/protocol/SyncTime.h"
#include "cloud/protocol/WebScriptQuery.h"
#include "fuzz/FuzzSupport.h"

using namespace qs::cloud;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > fuzz::kMaxInput)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString text = QString::fromUtf8(bytes);

    SyncLineBuffer buffer(true, 256);
    buffer.append(bytes.left(bytes.size() / 2));
    buffer.append(bytes.mid(bytes.size() / 2));
    QByteArray line;
    int lines = 0;
    while (lines++ < 200 && buffer.nextLine(line) == SyncLineBuffer::Result::Line) {
        for (bool lead : {true, false}) {
            const SyncCommand command = SyncCommand::fromReceivedBytes(line, lead);
            const SyncCommand again = SyncCommand::fromReceivedBytes(command.clientLine(), false);
            if (!command.altSep() && command.verbNumber() != SyncCommand::Connect &&
                (again.verb() != command.verb() || again.noun() != command.noun() ||
                    again.parameters() != command.parameters()))
                fuzz::fail("a written sync line did not read back");
            if (const SyncRecordType* type = syncRecordType(command.noun())) {
                const QStringList fields = command.parameters().mid(2);
                if (!checkSyncRecordFields(*type, fields))
                    (void)syncRecordMatchKey(*type, fields);
            }
            (void)SyncLoginValues::fromScrambledParameter(command.paramAtIndex(0));
        }
    }
    (void)decodeWebScriptRequest(text);
    if (const auto request = decodeWebScriptRequest(QStringLiteral("epp=1&ep=") + text))
        (void)request->clearPassword();
    (void)StoreCustomerBlock::fromScrambled(text);
    if (const auto t = parseSyncTime(text)) {
        if (parseSyncTime(formatSyncTime(*t)) != t)
            fuzz::fail("a sync time changed on a round trip");
    }
    return 0;
}
