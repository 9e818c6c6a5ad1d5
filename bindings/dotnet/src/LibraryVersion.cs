// The native library's version against the binding's. The binding is built
// with the header of its own version, so it may call anything that version of
// the library exports: it needs a library of the same major version and at
// least its own minor one. The check runs once, before the first other call
// that could meet a missing function.
using System;
using Vorn.MultiTouch.Native;

namespace Vorn.MultiTouch
{
    internal static class LibraryVersion
    {
        private static volatile bool checkedOnce;

        /// <summary>The binding's own version, the header's it was built with.</summary>
        internal static readonly Version Binding = typeof(LibraryVersion).Assembly.GetName().Version;
        /// <summary>The oldest library this binding runs on: its own major.minor.0.</summary>
        internal static readonly Version Needed = new Version(Binding.Major, Binding.Minor, 0);

        /// <summary>Throws NotSupportedException, naming both versions, unless the loaded
        /// library is one this binding can use. A missing library throws the runtime's
        /// DllNotFoundException as it is.</summary>
        internal static void Check()
        {
            if (checkedOnce) return;
            int loaded;
            try
            {
                loaded = NativeMethods.GetLibraryVersion();
            }
            catch (EntryPointNotFoundException)
            {
                // Libraries before GetLibraryVersion are older than any binding that calls it.
                throw new NotSupportedException(string.Format(
                    "the loaded VornMTClient library is older than {0}, which VornMTClient.Net {1} needs " +
                    "(it has no GetLibraryVersion): use the package's native library, or VornMTClient {2}.x from {0} on",
                    Text(Needed), Text(Binding), Needed.Major));
            }
            string problem = Problem(loaded, Needed);
            if (problem != null) throw new NotSupportedException(problem);
            checkedOnce = true;
        }

        /// <summary>What is wrong with library version <paramref name="loaded"/>
        /// (major * 10000 + minor * 100 + patch) for a binding that needs
        /// <paramref name="needed"/>; null when nothing is.</summary>
        internal static string Problem(int loaded, Version needed)
        {
            var library = new Version(loaded / 10000, loaded / 100 % 100, loaded % 100);
            if (library.Major == needed.Major && library >= needed) return null;
            string why = library.Major != needed.Major ? "of another major version" : "older";
            return string.Format(
                "the loaded VornMTClient library is {0}, {1} than VornMTClient.Net {2} needs ({3}.x from {4} on): " +
                "use the package's native library, or a VornMTClient build of that version",
                Text(library), why, Text(Binding), needed.Major, Text(needed));
        }

        private static string Text(Version version)
        {
            return version.ToString(3);
        }
    }
}
