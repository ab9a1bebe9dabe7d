#include "tasks/existspolicy.h"

#include "ftp/listparser.h"

namespace {
const char *const Names[ExistsPolicy::ChoiceCount]
        = {"ask", "auto", "overwrite", "resume", "skip", "rename", "newer"};

// Seconds since the epoch, cut down to a multiple of precision.
qint64 step(const QDateTime &time, int precision)
{
    const qint64 secs = time.toSecsSinceEpoch();
    return secs >= 0 ? secs / precision : (secs - precision + 1) / precision;
}
} // namespace

QString ExistsPolicy::name(Choice choice)
{
    return QLatin1String(Names[qBound(0, int(choice), ChoiceCount - 1)]);
}

std::optional<ExistsPolicy::Choice> ExistsPolicy::fromName(const QString &name)
{
    for (int i = 0; i < ChoiceCount; ++i) {
        if (name == QLatin1String(Names[i]))
            return Choice(i);
    }
    return std::nullopt;
}

QStringList ExistsPolicy::names()
{
    QStringList all;
    for (const char *each : Names)
        all.append(QLatin1String(each));
    return all;
}

ExistsPolicy::Action ExistsPolicy::decide(
        Choice choice, const Facts &source, const Facts &target, bool resumable, bool autoResumes)
{
    if (!target.exists)
        return Transfer;
    // The target is the beginning of the source when it is smaller: that is all a resume can
    // know. An unknown source size leaves it to the transfer, which asks the host.
    const bool smaller = target.size >= 0 && (source.size < 0 || target.size < source.size);
    switch (choice) {
    case Ask:
        return AskUser;
    case Auto:
        return autoResumes && resumable && smaller ? ResumeTransfer : Transfer;
    case Overwrite:
        return Transfer;
    case Resume:
        if (!smaller)
            return Leave;
        return resumable ? ResumeTransfer : Transfer;
    case Skip:
        return Leave;
    case Rename:
        return TransferRenamed;
    case Newer:
        return sourceIsNewer(source, target) ? Transfer : Leave;
    }
    return Leave;
}

bool ExistsPolicy::sourceIsNewer(const Facts &source, const Facts &target)
{
    if (!source.modified.isValid() || !target.modified.isValid())
        return false;
    const int precision = qMax(1, qMax(source.precisionSecs, target.precisionSecs));
    return step(source.modified, precision) > step(target.modified, precision);
}

QString ExistsPolicy::freeName(const QString &name,
                               const std::function<bool(const QString &)> &taken)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > 0 ? name.left(dot) : name;
    const QString extension = dot > 0 ? name.mid(dot) : QString();
    for (int n = 1;; ++n) {
        const QString candidate = QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(extension);
        if (!taken(candidate))
            return candidate;
    }
}

void ExistsPolicy::setListingTime(Facts *facts, qint32 dosDateTime)
{
    const QDateTime local = DosDateTimeToQDateTime(dosDateTime);
    facts->modified = local.isValid() ? local.toUTC() : QDateTime();
    // A LIST line gives the time of the last half year's files, only the day of older ones;
    // the parser leaves midnight then.
    const bool dayOnly = local.isValid() && local.time() == QTime(0, 0);
    facts->precisionSecs = dayOnly ? 24 * 3600 : 60;
}
