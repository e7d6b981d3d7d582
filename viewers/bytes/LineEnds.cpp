#include "viewers/bytes/LineEnds.h"

std::u16string LineEndWord(const LineEndCounts& counts)
{
    const int kinds = (counts.crlf != 0) + (counts.loneLf != 0) + (counts.loneCr != 0);
    if (kinds > 1) return u"*謎*";
    if (counts.crlf != 0) return u"CR+LF";
    if (counts.loneLf != 0) return u"*LFのみ*";
    if (counts.loneCr != 0) return u"*CRのみ*";
    return u"なし";
}

std::u16string TextStatus(bool nul, const LineEndCounts& counts)
{
    return std::u16string(u"終端NUL: ") + (nul ? u"あり" : u"なし") + u"  改行コード: " + LineEndWord(counts);
}
