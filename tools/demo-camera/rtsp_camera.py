#!/usr/bin/python3
"""A local RTSP camera: GStreamer's RTSP server bound to 127.0.0.1.

  rtsp_camera.py --demo                     the demo camera (test picture with a
                                            clock, 1000 Hz tone stepping in level)
  rtsp_camera.py --mount /av='LAUNCH' ...   one mount per --mount, payloaders pay0, pay1
  rtsp_camera.py --silent                   a TCP port that accepts and never answers

Options: --port N (0 picks a free one), --auth USER:PASSWORD (digest, every
mount), --resize-after SECONDS --resize-caps CAPS (sets the caps of the
capsfilter named "sizecaps" in each client's pipeline), --step-level (steps the
volume of the audiotestsrc named "tone" every second). A mount whose pipeline
holds a videotestsrc named "synccolor" and an audiotestsrc named "synctone"
switches both together every second: red picture with the tone at volume 0.5,
then blue picture with silence (for lip-sync checks).
Prints "PORT n" and then "URL rtsp://..." per mount on standard output; ends on
SIGTERM or SIGINT.

Lip-sync test source: --sync-mount PATH=OFFSET_MS[:CODEC[:EVENTS]] serves a
dark picture that flashes white for two pictures at each whole second and a
1000 Hz beep of 50 ms shifted by OFFSET_MS (positive: the sound comes after
the picture), both stamped exactly by the pipeline. CODEC is aac (48 kHz
stereo, the default) or pcmu (G.711 mu-law 8 kHz); EVENTS is both (the
default), flash (no beeps) or beep (no flashes). --demo --sync OFFSET_MS
makes the demo camera's /demo mount this source at 1280x720.
"""
import argparse
import os
import signal
import socket
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
INSTALL_DEPS = os.path.join(HERE, "..", "..", "scripts", "install-deps")
NEEDED_ELEMENTS = ["videotestsrc", "audiotestsrc", "clockoverlay", "x264enc", "rtph264pay",
                   "avenc_aac", "rtpmp4gpay", "mulawenc", "rtppcmupay"]

DEMO_VIDEO = ("videotestsrc is-live=true pattern=smpte horizontal-speed=3 ! "
              "video/x-raw,width=1280,height=720,framerate=25/1 ! "
              "clockoverlay time-format=\"%H:%M:%S\" font-desc=\"Sans 36\" ! "
              "timeoverlay valignment=bottom halignment=right font-desc=\"Sans 24\" ! "
              "videoconvert ! x264enc tune=zerolatency speed-preset=ultrafast key-int-max=25 ! "
              "video/x-h264,profile=baseline ! rtph264pay name=pay0 pt=96 config-interval=1")
DEMO_AUDIO = ("audiotestsrc name=tone is-live=true wave=sine freq=1000 volume=0.5 ! "
              "audio/x-raw,rate=48000,channels=2 ! audioconvert ! avenc_aac ! "
              "rtpmp4gpay name=pay1 pt=97")
LEVELS = [0.5, 0.25, 0.125, 0.0625]  # -6, -12, -18, -24 dBFS
SYNC_RED, SYNC_BLUE = 0xffff0000, 0xff0000ff  # ARGB
SYNC_FPS, SYNC_FLASH_PICTURES, SYNC_BEEP_S, SYNC_BEEP_HZ = 25, 2, 0.05, 1000
SYNC_DARK, SYNC_WHITE = 16, 235  # luma of the picture and of its flash
# avenc_aac's priming: the decoded sound comes 1024 samples after its
# timestamp (ffmpeg's silencedetect shows it too), so the AAC mounts make
# their sound that much early and the stream carries the offset asked for.
AAC_PRIMING_S = 1024 / 48000


def sync_launch(codec, width, height):
    """The launch line of a lip-sync mount: two appsrcs fed by SyncSource."""
    video = ("appsrc name=syncpicture is-live=true format=time "
             "caps=video/x-raw,format=GRAY8,width=%d,height=%d,framerate=%d/1 ! identity sync=true ! "
             "videoconvert ! x264enc tune=zerolatency speed-preset=ultrafast key-int-max=25 ! "
             "video/x-h264,profile=baseline ! rtph264pay name=pay0 pt=96 config-interval=1" % (width, height, SYNC_FPS))
    rate = 8000 if codec == "pcmu" else 48000
    audio = ("appsrc name=syncsound is-live=true format=time "
             "caps=audio/x-raw,format=S16LE,rate=%d,channels=1,layout=interleaved ! identity sync=true ! " % rate)
    if codec == "pcmu":
        audio += "mulawenc ! rtppcmupay name=pay1"
    else:
        audio += "audioconvert ! audio/x-raw,channels=2 ! avenc_aac ! rtpmp4gpay name=pay1 pt=97"
    return "%s %s" % (video, audio)


class SyncSource:
    """Feeds one client's lip-sync pipeline: pictures and sound made from
    their own sample and picture counts, so each event is where its
    timestamp says, whatever the machine's load."""

    def __init__(self, Gst, pipeline, offset_ms, codec, events, width, height):
        self.Gst = Gst
        self.picture_src = pipeline.get_by_name("syncpicture")
        self.sound_src = pipeline.get_by_name("syncsound")
        self.rate = self.sound_src.get_property("caps").get_structure(0).get_value("rate")
        size = width * height
        self.dark, self.white = bytes([SYNC_DARK]) * size, bytes([SYNC_WHITE]) * size
        if events == "beep":
            self.white = self.dark
        # One second of sound; the stream repeats it. A beep that starts
        # before 0 (negative offset) wraps to the end of the second.
        import math
        import struct
        offset = offset_ms / 1000.0 - (AAC_PRIMING_S if codec == "aac" else 0)
        second = [0] * self.rate
        if events != "flash":
            for j in range(int(round(SYNC_BEEP_S * self.rate))):
                t = j / self.rate
                second[(int(round(offset * self.rate)) + j) % self.rate] = \
                    int(16384 * math.sin(2 * math.pi * SYNC_BEEP_HZ * t))
        self.seconds = struct.pack("<%dh" % self.rate, *second) * 2  # a chunk may run over the second's end
        self.picture, self.sample = 0, 0
        self.chunk = self.rate // 50  # 20 ms
        self.picture_src.connect("need-data", self.push_picture)
        self.sound_src.connect("need-data", self.push_sound)

    def push_picture(self, src, _length):
        n = self.picture
        self.picture += 1
        data = self.white if n % SYNC_FPS < SYNC_FLASH_PICTURES else self.dark
        buf = self.Gst.Buffer.new_wrapped(data)
        buf.pts = n * self.Gst.SECOND // SYNC_FPS
        buf.duration = self.Gst.SECOND // SYNC_FPS
        src.emit("push-buffer", buf)

    def push_sound(self, src, _length):
        start = self.sample % self.rate
        data = self.seconds[2 * start:2 * (start + self.chunk)]
        buf = self.Gst.Buffer.new_wrapped(data)
        buf.pts = self.sample * self.Gst.SECOND // self.rate
        buf.duration = self.chunk * self.Gst.SECOND // self.rate
        self.sample += self.chunk
        src.emit("push-buffer", buf)


def run_silent(port):
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", port))
    server.listen(16)
    print("PORT %d" % server.getsockname()[1], flush=True)
    held = []
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        while True:
            conn, _ = server.accept()
            held.append(conn)  # kept open, never read or written
    except (KeyboardInterrupt, SystemExit):
        pass


def gstreamer_ready():
    try:
        import gi
        gi.require_version("Gst", "1.0")
        gi.require_version("GstRtspServer", "1.0")
        from gi.repository import Gst, GstRtspServer  # noqa: F401
    except (ImportError, ValueError):
        return False
    Gst.init(None)
    return all(Gst.ElementFactory.find(e) is not None for e in NEEDED_ELEMENTS)


def ensure_packages():
    """Installs the project's Debian packages once when GStreamer's parts are missing."""
    if gstreamer_ready():
        return
    if os.environ.get("KX_CAMERA_DEPS_TRIED") == "1" or not os.path.exists(INSTALL_DEPS):
        print("GStreamer RTSP server or plugins are missing", file=sys.stderr)
        sys.exit(1)
    print("Installing the GStreamer packages the camera needs ...", file=sys.stderr)
    subprocess.run([INSTALL_DEPS], check=False, stdout=sys.stderr)
    os.environ["KX_CAMERA_DEPS_TRIED"] = "1"
    os.execv("/usr/bin/python3", ["/usr/bin/python3"] + sys.argv)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--demo", action="store_true")
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--mount", action="append", default=[])
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--auth")
    parser.add_argument("--resize-after", type=float, default=0)
    parser.add_argument("--resize-caps", default="video/x-raw,width=640,height=360")
    parser.add_argument("--step-level", action="store_true")
    # Mounts that refuse UDP, so a client falls back to RTSP over TCP.
    parser.add_argument("--tcp-only", action="append", default=[])
    parser.add_argument("--sync-mount", action="append", default=[])
    parser.add_argument("--sync", type=float, help="--demo: the lip-sync test source, sound shifted by this many ms")
    args = parser.parse_args()

    if args.silent:
        run_silent(args.port)
        return

    ensure_packages()
    import gi
    gi.require_version("Gst", "1.0")
    gi.require_version("GstRtsp", "1.0")
    gi.require_version("GstRtspServer", "1.0")
    from gi.repository import GLib, Gst, GstRtsp, GstRtspServer

    Gst.init(None)
    mounts = []
    sync = {}  # path: (offset ms, codec, events, width, height)
    if args.demo and args.sync is not None:
        mounts.append(("/demo", "( %s )" % sync_launch("aac", 1280, 720)))
        sync["/demo"] = (args.sync, "aac", "both", 1280, 720)
    elif args.demo:
        mounts.append(("/demo", "( %s %s )" % (DEMO_VIDEO, DEMO_AUDIO)))
        args.step_level = True
    for m in args.sync_mount:
        path, _, setting = m.partition("=")
        fields = (setting.split(":") + ["aac", "both"])[:3]
        mounts.append((path, "( %s )" % sync_launch(fields[1], 320, 240)))
        sync[path] = (float(fields[0]), fields[1], fields[2], 320, 240)
    for m in args.mount:
        path, _, launch = m.partition("=")
        mounts.append((path, "( %s )" % launch))
    if not mounts:
        parser.error("no mount")

    server = GstRtspServer.RTSPServer()
    server.set_address("127.0.0.1")
    server.set_service(str(args.port))

    if args.auth:
        user, _, password = args.auth.partition(":")
        auth = GstRtspServer.RTSPAuth()
        auth.set_supported_methods(GstRtsp.RTSPAuthMethod.DIGEST)
        token = GstRtspServer.RTSPToken()
        token.set_string(GstRtspServer.RTSP_TOKEN_MEDIA_FACTORY_ROLE, "user")
        auth.add_digest(user, password, token)
        server.set_auth(auth)

    # The camera switches its resolution once; clients that connect later get
    # the new size from the start, as from a real camera.
    resized = {"done": False}

    def configure(_factory, media):
        pipeline = media.get_element()
        if args.resize_after > 0:
            caps_el = pipeline.get_by_name("sizecaps")
            if caps_el is not None:
                def resize():
                    caps_el.set_property("caps", Gst.Caps.from_string(args.resize_caps))
                    resized["done"] = True
                    return False
                if resized["done"]:
                    resize()
                else:
                    GLib.timeout_add(int(args.resize_after * 1000), resize)
        if args.step_level:
            tone = pipeline.get_by_name("tone")
            if tone is not None:
                state = {"i": 0}

                def step():
                    state["i"] = (state["i"] + 1) % len(LEVELS)
                    tone.set_property("volume", LEVELS[state["i"]])
                    return True
                media.timeout_id = GLib.timeout_add(1000, step)
                media.connect("unprepared", lambda *_: GLib.source_remove(media.timeout_id))

    def configure_sync(media):
        pipeline = media.get_element()
        color, tone = pipeline.get_by_name("synccolor"), pipeline.get_by_name("synctone")
        if color is None or tone is None:
            return
        state = {"on": False}

        def switch():
            # Both in one call, so picture and sound change at the same moment.
            state["on"] = not state["on"]
            color.set_property("foreground-color", SYNC_RED if state["on"] else SYNC_BLUE)
            tone.set_property("volume", 0.5 if state["on"] else 0.0)
            return True
        source = GLib.timeout_add(1000, switch)
        media.connect("unprepared", lambda *_: GLib.source_remove(source))

    def configure_all(factory, media):
        configure(factory, media)
        configure_sync(media)
        if factory.sync is not None:
            # Kept with the media: the callbacks live as long as its pipeline.
            media.sync_source = SyncSource(Gst, media.get_element(), *factory.sync)

    mount_points = server.get_mount_points()
    for path, launch in mounts:
        factory = GstRtspServer.RTSPMediaFactory()
        factory.set_launch(launch)
        factory.set_shared(False)
        factory.sync = sync.get(path)
        if path in args.tcp_only:
            factory.set_protocols(GstRtsp.RTSPLowerTrans.TCP)
        factory.connect("media-configure", configure_all)
        if args.auth:
            permissions = GstRtspServer.RTSPPermissions()
            permissions.add_permission_for_role("user", "media.factory.access", True)
            permissions.add_permission_for_role("user", "media.factory.construct", True)
            factory.set_permissions(permissions)
        mount_points.add_factory(path, factory)

    if server.attach(None) == 0:
        print("cannot attach the RTSP server", file=sys.stderr)
        sys.exit(1)
    port = server.get_bound_port()
    lines = ["PORT %d" % port] + ["URL rtsp://127.0.0.1:%d%s" % (port, path) for path, _ in mounts]
    try:
        print("\n".join(lines), flush=True)
    except BrokenPipeError:
        pass  # whoever started us read what it needed

    loop = GLib.MainLoop()
    for sig in (signal.SIGTERM, signal.SIGINT):
        GLib.unix_signal_add(GLib.PRIORITY_HIGH, sig, loop.quit)
    loop.run()


if __name__ == "__main__":
    main()
