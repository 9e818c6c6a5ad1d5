// How the events' ToString shows their values: bounded, the same on every
// culture, texts quoted with their control characters escaped as the monitor
// prints them.
using System;
using System.Collections.Generic;
using System.Globalization;
using System.Text;

namespace Vorn.MultiTouch
{
    internal static class EventText
    {
        private const int MaxQuotedChars = 160;

        /// <summary>The first <paramref name="limit"/> items, each after <paramref name="lead"/>
        /// (the first) or <paramref name="separator"/>, then " ..." if there are more.</summary>
        internal static string List<T>(IList<T> items, string lead, string separator, int limit)
        {
            var text = new StringBuilder();
            for (int i = 0; i < items.Count && i < limit; i++)
                text.Append(i == 0 ? lead : separator).Append(string.Format(CultureInfo.InvariantCulture, "{0}", items[i]));
            if (items.Count > limit) text.Append(" ...");
            return text.ToString();
        }

        /// <summary>The text in double quotes; C0 controls but tab, and DEL, as \x1b, C1
        /// controls as \u009b; past 160 characters, "..." ends it.</summary>
        internal static string Quote(string value)
        {
            var text = new StringBuilder("\"");
            string shown = value ?? "";
            for (int i = 0; i < shown.Length && i < MaxQuotedChars; i++)
            {
                char c = shown[i];
                if ((c < 0x20 && c != '\t') || c == 0x7F) text.AppendFormat(CultureInfo.InvariantCulture, "\\x{0:x2}", (int)c);
                else if (c >= 0x80 && c <= 0x9F) text.AppendFormat(CultureInfo.InvariantCulture, "\\u{0:x4}", (int)c);
                else text.Append(c);
            }
            if (shown.Length > MaxQuotedChars) text.Append("...");
            return text.Append('"').ToString();
        }

        /// <summary>A library code (ERR_, 0x31000000 and up) in hexadecimal, a socket or
        /// system error number in decimal.</summary>
        internal static string Status(int status)
        {
            return status >= TouchStatus.BadMessage ? "0x" + status.ToString("x8", CultureInfo.InvariantCulture)
                                                    : status.ToString(CultureInfo.InvariantCulture);
        }
    }
}
