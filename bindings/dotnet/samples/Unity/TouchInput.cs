// A Unity MonoBehaviour that reads touch input from a VornMT touch server in
// Update(), on the main thread, with no callback from native code: nothing in
// it needs MonoPInvokeCallback, and it runs the same under Mono and IL2CPP.
// Not built here (that needs Unity): it keeps to the API that the package's
// Mono test (tests/package/check_dotnet_package, "game loop") exercises, namely
// the TouchClient constructor, ReadAvailableEvents, Connect, Subscribe,
// RequestServerResolution, the event classes and Dispose.
// Setup: VornMTClient.Net.dll (lib/netstandard2.0 of the NuGet package) with
// System.Threading.Channels and Microsoft.Bcl.AsyncInterfaces, and the native
// library of the platform (VornMTClient.dll, libVornMTClient.so), in Assets/Plugins.
using System.Collections.Generic;
using UnityEngine;
using Vorn.MultiTouch;

public sealed class TouchInput : MonoBehaviour
{
    public string address = "127.0.0.1";
    public int port = 7100;

    private TouchClient client;
    private readonly List<TouchEvent> events = new List<TouchEvent>();

    private void OnEnable()
    {
        client = new TouchClient();
        // The first read opens the library's queue, so nothing of the connection is missed;
        // from now on Update must read in every frame (a queue nobody empties holds up the library).
        client.ReadAvailableEvents(events);
        try
        {
            client.Connect(address, port);
            client.Subscribe();
            client.RequestServerResolution();
        }
        catch (TouchClientException e)
        {
            Debug.LogWarning("touch server: " + e.Message);
        }
    }

    private void Update()
    {
        if (client == null) return;
        events.Clear();
        client.ReadAvailableEvents(events);
        foreach (TouchEvent e in events)
        {
            switch (e)
            {
                case FrameEvent frame:
                    foreach (TouchPoint point in frame.Points)
                    {
                        // point.Code1 is the finger, point.Code0 its state (1 down, 2 moving, 3 up).
                    }
                    break;
                case GestureEvent gesture:
                    Debug.Log("gesture " + gesture.Name);
                    break;
                case ResolutionEvent resolution:
                    Debug.Log("touch resolution " + resolution.X + "x" + resolution.Y);
                    break;
                case ServerLostEvent _:
                    Debug.Log("touch server lost: every touch has ended");
                    break;
                case ErrorEvent error:
                    Debug.LogWarning("touch: " + error.Meaning);
                    break;
            }
        }
    }

    private void OnDisable()
    {
        if (client != null) client.Dispose();
        client = null;
    }
}
