using System;

namespace Vorn.MultiTouch
{
    /// <summary>Marks a static method the library calls back. Ahead-of-time
    /// runtimes (Unity's IL2CPP) make a native entry point only for methods
    /// carrying an attribute of this name; other runtimes ignore it.</summary>
    [AttributeUsage(AttributeTargets.Method)]
    internal sealed class MonoPInvokeCallbackAttribute : Attribute
    {
        public MonoPInvokeCallbackAttribute(Type delegateType)
        {
            DelegateType = delegateType;
        }

        public Type DelegateType { get; private set; }
    }
}
