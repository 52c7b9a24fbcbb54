#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""FTP server for the tests and benchmarks: pyftpdlib on a loopback port, serving
one folder to one user, with the faults a failing or hostile server shows.

Prints "READY <port>" on stdout once it listens. Every command line it receives is
appended to the --log file as it arrives (bytes below 0x20 and '%' written as %XX);
a transfer that completes adds "DONE STOR <argument>" or "DONE RETR <argument>"
(the argument as the client sent it) just before its 226 reply is sent, and
every upload's data connection adds "RECEIVED STOR|APPE <bytes> <argument>"
and every download's "SENT RETR <bytes> <argument>" when it closes, complete
or not.

Names are bytes: commands and listings go through surrogateescape, so a server
folder holding Shift-JIS names (0x5C inside a character included) is served with
its exact bytes.

Faults (each option may be repeated where it takes a command):
  --refuse CMD=CODE TEXT   answer CMD with "CODE TEXT" (421 also closes the session)
  --refuse-drops-data      a refusal also closes the data connection at once,
                           unread, before the (possibly delayed) reply
  --stall CMD              read CMD and never answer it
  --cut CMD:BYTES:MODE     after BYTES of the data of CMD (LIST, MLSD, RETR, STOR)
                           (MODE drop-once: only the first such transfer)
                           break off; MODE "426" closes the data connection and
                           answers 426, "drop" closes the data and the control
                           connection without a word, "dropall" closes every
                           control connection of the server, "226" closes the data
                           connection (TLS: without its close notification) and
                           answers 226 as if the transfer were complete
  --wrong-size-once DELTA  answer the first SIZE of a file with its size DELTA
                           bytes off (never below 0), as a server whose file
                           does not hold what was sent
  --pasv-address IP        name IP in PASV replies (the data port stays here)
  --extra-name HEX         add an entry with this raw name to every listing
  --no-mlsd                offer no MLST/MLSD, so clients list with LIST
  --no-utf8                announce no UTF8 in FEAT (a legacy server whose
                           names are Shift-JIS bytes)
  --no-mfmt                know no MFMT (nor announce it)
  --no-rest                know no REST (nor announce REST STREAM)
  --refuse-rename-over     answer RNTO onto an existing file with 553, as
                           servers whose file system cannot replace do
  --throttle BYTES         limit each data connection to BYTES per second
  --silent                 accept connections and never send a byte
  --flood POINT            send preliminary replies without end: POINT "greeting"
                           sends 120s instead of the greeting; a command (RETR,
                           LIST, MLSD, STOR) is answered with 150s while its data
                           connection stays silent
  --flood-after CMD        send the data of CMD whole, then 150s instead of the
                           final reply
  --flood-every SECONDS    the pace of the flood (default 0.3)
  --flood-for SECONDS      after this long (default 8) the flood ends by closing
                           the control connection
  --endless-list           LIST and MLSD send entries without end
  --fake-tls MODE          answer AUTH TLS with 234, then speak plain text
                           (MODE "plain") or hang up (MODE "close") instead of TLS
  --tls PEM                offer AUTH TLS with the key and certificate in PEM
  --tls-data-cert PEM      data connections show this key and certificate
                           instead of the control connection's

A distant or busy server:
  --reply-delay MS         send every reply of the control connection (greeting
                           included) MS milliseconds late, in order; data
                           connections and other sessions are not held up
  --max-logins-per-user N  refuse a login while N sessions of the same user are
                           logged in ("530 Too many connections for this user.";
                           the session stays open, as after a wrong password)
  --max-connections N      refuse a control connection beyond N open ones with
                           "421 Too many connections." at the greeting
  --mute-beyond N          accept a control connection beyond N open ones and
                           never send it a byte (no greeting)
"""

import argparse
import binascii
import collections
import itertools
import logging
import os
import signal
import socket
import sys
import time
import warnings

with warnings.catch_warnings():
    # pyftpdlib is built on asynchat, deprecated in Python 3.
    warnings.simplefilter('ignore', DeprecationWarning)
    import asynchat


def parse_args():
    p = argparse.ArgumentParser(description=__doc__,
                                formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument('--host', default='127.0.0.1')
    p.add_argument('--port', type=int, default=0)
    p.add_argument('--root', default='.')
    p.add_argument('--user', default='user')
    p.add_argument('--password', default='secret')
    p.add_argument('--log')
    p.add_argument('--passive-ports', help='FROM-TO')
    p.add_argument('--refuse', action='append', default=[])
    p.add_argument('--refuse-drops-data', action='store_true')
    p.add_argument('--stall', action='append', default=[])
    p.add_argument('--cut', action='append', default=[])
    p.add_argument('--pasv-address')
    p.add_argument('--wrong-size-once', type=int)
    p.add_argument('--extra-name', action='append', default=[])
    p.add_argument('--no-mlsd', action='store_true')
    p.add_argument('--no-utf8', action='store_true')
    p.add_argument('--no-mfmt', action='store_true')
    p.add_argument('--no-rest', action='store_true')
    p.add_argument('--refuse-rename-over', action='store_true')
    p.add_argument('--throttle', type=int, default=0)
    p.add_argument('--silent', action='store_true')
    p.add_argument('--flood', action='append', default=[])
    p.add_argument('--flood-after', action='append', default=[])
    p.add_argument('--flood-every', type=float, default=0.3)
    p.add_argument('--flood-for', type=float, default=8.0)
    p.add_argument('--endless-list', action='store_true')
    p.add_argument('--fake-tls', choices=('plain', 'close'))
    p.add_argument('--tls', metavar='PEM')
    p.add_argument('--tls-data-cert', metavar='PEM')
    p.add_argument('--reply-delay', type=int, default=0, metavar='MS')
    p.add_argument('--max-logins-per-user', type=int, default=0, metavar='N')
    p.add_argument('--max-connections', type=int, default=0, metavar='N')
    p.add_argument('--mute-beyond', type=int, default=0, metavar='N')
    return p.parse_args()


def escape_line(raw):
    out = bytearray()
    for b in raw:
        if b < 0x20 or b == 0x25:
            out += b'%%%02X' % b
        else:
            out.append(b)
    return bytes(out)


def announce(port):
    sys.stdout.write('READY %d\n' % port)
    sys.stdout.flush()


def run_silent(args):
    family = socket.AF_INET6 if ':' in args.host else socket.AF_INET
    server = socket.create_server((args.host, args.port), family=family)
    announce(server.getsockname()[1])
    held = []
    while True:
        conn, _ = server.accept()
        held.append(conn)


class Cut(object):
    def __init__(self, option):
        cmd, count, mode = option.split(':', 2)
        self.cmd = cmd.upper()
        self.bytes = int(count)
        self.mode = mode


def make_handler(args):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.filesystems import AbstractedFS
    from pyftpdlib.handlers import BufferedIteratorProducer, DTPHandler, FTPHandler, ThrottledDTPHandler

    log_file = open(args.log, 'ab', buffering=0) if args.log else None
    refusals = {}
    for option in args.refuse:
        cmd, reply = option.split('=', 1)
        refusals[cmd.upper()] = reply
    stalls = set(c.upper() for c in args.stall)
    wrong_size = [True] if args.wrong_size_once is not None else []
    cuts = {}
    for option in args.cut:
        cut = Cut(option)
        cuts[cut.cmd] = cut
    extra_names = [binascii.unhexlify(h) for h in args.extra_name]
    floods = set(c.upper() for c in args.flood)
    floods_after = set(c.upper() for c in args.flood_after)
    reply_delay = args.reply_delay / 1000.0
    logged_in = collections.Counter()  # user name -> sessions logged in
    open_sessions = set()  # control connections counted against --max-connections
    greeted = set()  # control connections counted against --mute-beyond
    sessions = set()  # every open control connection

    def log_line(line):
        if log_file is not None:
            log_file.write(escape_line(line) + b'\n')

    class FaultFS(AbstractedFS):
        def _extra(self, line_of):
            return (line_of(name) for name in extra_names)

        def format_list(self, basedir, listing, ignore_err=True):
            lines = AbstractedFS.format_list(self, basedir, listing, ignore_err)
            if not extra_names or not getattr(self.cmd_channel, 'listing', False):
                return lines
            return itertools.chain(lines, self._extra(
                lambda name: b'-rw-r--r--   1 owner    group           0 Jan 01  2020 ' + name + b'\r\n'))

        def format_mlsx(self, basedir, listing, perms, facts, ignore_err=True):
            lines = AbstractedFS.format_mlsx(self, basedir, listing, perms, facts, ignore_err)
            if not extra_names or not getattr(self.cmd_channel, 'listing', False):
                return lines
            return itertools.chain(lines, self._extra(
                lambda name: b'type=file;size=0;modify=20200101000000;perm=r; ' + name + b'\r\n'))

    dtp_base = ThrottledDTPHandler if args.throttle else DTPHandler
    ftp_base = FTPHandler
    if args.tls:
        from OpenSSL import SSL
        from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler
        dtp_base = TLS_DTPHandler
        ftp_base = TLS_FTPHandler

        def tls_context(pem):
            context = SSL.Context(SSL.TLS_SERVER_METHOD)
            context.use_certificate_chain_file(pem)
            context.use_privatekey_file(pem)
            return context
        data_context = tls_context(args.tls_data_cert) if args.tls_data_cert else None
    unknown_cmds = set()
    if args.no_mlsd:
        unknown_cmds.update(('MLSD', 'MLST'))
    if args.no_mfmt:
        unknown_cmds.add('MFMT')
    if args.no_rest:
        unknown_cmds.add('REST')

    class FaultDTPHandler(dtp_base):
        if args.throttle:
            read_limit = args.throttle
            write_limit = args.throttle
            # pyftpdlib's own limit sends a second's worth at once and then
            # sleeps up to two seconds; here the rate holds over every 50 ms,
            # so a client sees steady progress and a closed data connection
            # is noticed at once.
            slices = 20

            def __init__(self, sock, cmd_channel):
                dtp_base.__init__(self, sock, cmd_channel)
                slice_bytes = max(1, args.throttle // self.slices)
                while self.ac_in_buffer_size > slice_bytes and self.ac_in_buffer_size > 512:
                    self.ac_in_buffer_size //= 2
                while self.ac_out_buffer_size > slice_bytes and self.ac_out_buffer_size > 512:
                    self.ac_out_buffer_size //= 2

            def _throttle_bandwidth(self, len_chunk, max_speed):
                self._datacount += len_chunk
                if self._datacount < max_speed / self.slices:
                    return
                self._datacount = 0
                now = time.monotonic()
                sleepfor = self._timenext - now
                if sleepfor > 0:
                    def unsleep():
                        self.add_channel(events=self.ioloop.READ if self.receive else self.ioloop.WRITE)

                    self.del_channel()
                    self._cancel_throttler()
                    self._throttler = self.ioloop.call_later(sleepfor, unsleep, _errback=self.handle_error)
                self._timenext = max(now, self._timenext) + 1.0 / self.slices

        if args.tls and data_context is not None:
            def secure_connection(self, ssl_context):
                dtp_base.secure_connection(self, data_context)

        def _cut(self):
            return getattr(self.cmd_channel, 'active_cut', None)

        def _fire(self, cut):
            channel = self.cmd_channel
            channel.active_cut = None
            if cut.mode.endswith('-once'):
                cuts.pop(cut.cmd, None)
            if cut.mode.startswith('dropall'):
                self._resp = ()
                self.close()
                for session in list(sessions):
                    session.close()
            elif cut.mode.startswith('drop'):
                self._resp = ()
                self.close()
                channel.close()
            elif cut.mode == '226':
                self._error = True  # no TLS close notification: the socket just closes
                self._resp = ('226 Transfer complete.', logging.info)
                self.close()
            else:
                self._resp = ('426 Connection closed; transfer aborted.', logging.info)
                self.close()

        def send(self, data):
            cut = self._cut()
            if cut is None:
                return dtp_base.send(self, data)
            room = cut.bytes - self.tot_bytes_sent
            sent = dtp_base.send(self, data[:room]) if room > 0 else 0
            if self.tot_bytes_sent >= cut.bytes:
                self._fire(cut)
            return sent

        def handle_read(self):
            dtp_base.handle_read(self)
            cut = self._cut()
            if cut is not None and not self._closed and self.tot_bytes_received >= cut.bytes:
                self._fire(cut)

        handle_read_event = handle_read

        def readable(self):
            # A flooded command's data connection stays open and unread.
            if getattr(self.cmd_channel, 'flood_timer', None) is not None:
                return False
            return dtp_base.readable(self)

        def close(self):
            channel = self.cmd_channel
            if not self._closed and self.receive:
                channel.log_received(self.cmd, self.tot_bytes_received)
            elif not self._closed and getattr(self, 'cmd', None) == 'RETR':
                channel.log_received('RETR', self.tot_bytes_sent)
            if (not self._closed and self.file_obj is not None and self.transfer_finished
                    and self._resp and self._resp[0].startswith('226')):
                channel.log_done(self.cmd)
            if not self._closed and getattr(self, 'cmd', None) in floods_after:
                self._resp = ()
                dtp_base.close(self)
                channel.start_flood('150 Still busy.')
                return
            dtp_base.close(self)

    class FaultHandler(ftp_base):
        abstracted_fs = FaultFS
        if args.tls:
            certfile = args.tls
        dtp_handler = FaultDTPHandler
        unicode_errors = 'surrogateescape'
        auth_failed_timeout = 0
        banner = 'Vexmora test server ready.'
        if unknown_cmds:
            proto_cmds = dict((k, v) for k, v in ftp_base.proto_cmds.items() if k not in unknown_cmds)
        if args.pasv_address:
            masquerade_address = args.pasv_address
        if args.passive_ports:
            low, high = args.passive_ports.split('-')
            passive_ports = range(int(low), int(high) + 1)
        if cuts or args.throttle:
            use_sendfile = False

        def push(self, s):
            if getattr(self, 'hide_utf8', False):
                s = s.replace(' UTF8\r\n', '')
            data = s.encode('utf8', 'surrogateescape')
            if reply_delay:
                self.send_late('data', data)
            else:
                asynchat.async_chat.push(self, data)

        if reply_delay:
            # Replies wait in one queue per session, each until its own time
            # has come, so they keep their order; the loop itself never waits.
            def send_late(self, kind, payload=None):
                if not hasattr(self, 'late_replies'):
                    self.late_replies = collections.deque()
                    self.late_timer = None
                self.late_replies.append((time.monotonic() + reply_delay, kind, payload))
                if self.late_timer is None:
                    self.late_timer = self.call_later(reply_delay, self.send_due)

            def send_due(self):
                self.late_timer = None
                if self._closed:
                    return
                now = time.monotonic()
                while self.late_replies and self.late_replies[0][0] <= now + 0.0005:
                    _, kind, payload = self.late_replies.popleft()
                    if kind == 'data':
                        asynchat.async_chat.push(self, payload)
                    elif kind == 'producer':
                        ftp_base.push_with_producer(self, payload)
                    else:
                        ftp_base.close_when_done(self)
                if self.late_replies:
                    self.late_timer = self.call_later(max(0.0, self.late_replies[0][0] - now), self.send_due)

            def push_with_producer(self, producer):
                self.send_late('producer', producer)

            def close_when_done(self):
                self.send_late('close')

        def log_done(self, cmd):
            arg = getattr(self, 'transfer_argument', None)
            if cmd in ('STOR', 'RETR') and arg is not None:
                log_line(b'DONE ' + cmd.encode() + b' ' + arg.encode('utf8', 'surrogateescape'))

        def log_received(self, cmd, count):
            arg = getattr(self, 'transfer_argument', None)
            if cmd in ('STOR', 'APPE', 'RETR') and arg is not None:
                log_line((b'SENT ' if cmd == 'RETR' else b'RECEIVED ') + cmd.encode() + b' ' + str(count).encode() + b' '
                         + arg.encode('utf8', 'surrogateescape'))

        if args.wrong_size_once is not None:
            def ftp_SIZE(self, path):
                if wrong_size and os.path.isfile(path):
                    wrong_size.pop()
                    self.respond('213 %d' % max(0, os.path.getsize(path) + args.wrong_size_once))
                    return
                return ftp_base.ftp_SIZE(self, path)

        if args.refuse_rename_over:
            def ftp_RNTO(self, path):
                if self._rnfr and os.path.lexists(path):
                    self._rnfr = None
                    self.respond('553 Cannot rename over an existing file.')
                    return
                return ftp_base.ftp_RNTO(self, path)

        def start_flood(self, reply):
            ends = time.monotonic() + args.flood_for

            def tick():
                if time.monotonic() >= ends:
                    self.close()
                else:
                    self.respond(reply)
            self.respond(reply)
            self.flood_timer = self.ioloop.call_every(args.flood_every, tick)

        def handle(self):
            sessions.add(self)
            if args.mute_beyond:
                if len(greeted) >= args.mute_beyond:
                    return  # accepted, and silent from now on
                greeted.add(self)
            if args.max_connections:
                if len(open_sessions) >= args.max_connections:
                    self.respond('421 Too many connections.')
                    self.close_when_done()
                    return
                open_sessions.add(self)
            if 'GREETING' in floods:
                self.start_flood('120 Service ready in a moment.')
            else:
                ftp_base.handle(self)

        def close(self):
            timer = getattr(self, 'flood_timer', None)
            if timer is not None and not timer.cancelled:
                timer.cancel()
            open_sessions.discard(self)
            greeted.discard(self)
            sessions.discard(self)
            self.count_login(False)
            ftp_base.close(self)

        def count_login(self, on):
            counted = getattr(self, 'counted_user', None)
            if counted is not None:
                logged_in[counted] -= 1
                self.counted_user = None
            if on:
                self.counted_user = self.username
                logged_in[self.username] += 1

        def handle_auth_success(self, home, password, msg_login):
            limit = args.max_logins_per_user
            if limit and logged_in[self.username] >= limit:
                self.respond('530 Too many connections for this user.')
                self.username = ''
                return
            ftp_base.handle_auth_success(self, home, password, msg_login)
            self.count_login(True)

        def flush_account(self):
            self.count_login(False)
            ftp_base.flush_account(self)

        if args.endless_list:
            def endless(self, line, cmd):
                lines = (line % i for i in itertools.count())
                self.push_dtp_data(BufferedIteratorProducer(lines), isproducer=True, cmd=cmd)

            def ftp_LIST(self, path):
                self.endless(b'-rw-r--r--   1 owner    group           0 Jan 01  2020 f%d\r\n', 'LIST')
                return path

            def ftp_MLSD(self, path):
                self.endless(b'type=file;size=0;modify=20200101000000;perm=r; f%d\r\n', 'MLSD')
                return path

        def ftp_FEAT(self, line):
            self.hide_utf8 = args.no_utf8
            try:
                ftp_base.ftp_FEAT(self, line)
            finally:
                self.hide_utf8 = False

        def found_terminator(self):
            log_line(b''.join(self._in_buffer))
            ftp_base.found_terminator(self)

        def pre_process_command(self, line, cmd, arg):
            name = line.split(' ')[0].upper()
            if name in stalls:
                return
            if name in floods:
                self.start_flood('150 Opening data connection.')
                return
            if name == 'AUTH' and args.fake_tls:
                self.respond('234 AUTH TLS successful.')
                if args.fake_tls == 'plain':
                    self.respond('220 This is not TLS.')
                else:
                    self.close_when_done()
                return
            if name in refusals:
                if args.refuse_drops_data and self.data_channel is not None:
                    self.data_channel.close()
                self.respond(refusals[name])
                if refusals[name].startswith('421'):
                    self.close_when_done()
                return
            if name in ('STOR', 'RETR', 'APPE'):
                self.transfer_argument = arg
            self.active_cut = cuts.get(name)
            self.listing = name in ('LIST', 'MLSD', 'NLST')
            try:
                ftp_base.pre_process_command(self, line, cmd, arg)
            finally:
                self.listing = False

    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, os.path.abspath(args.root), perm='elradfmwMT')
    FaultHandler.authorizer = authorizer
    return FaultHandler


def main():
    args = parse_args()
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    if args.silent:
        run_silent(args)
        return
    logging.basicConfig(level=logging.CRITICAL)
    from pyftpdlib.servers import FTPServer
    handler = make_handler(args)
    server = FTPServer((args.host, args.port), handler)
    server.max_cons = 256
    announce(server.socket.getsockname()[1])
    server.serve_forever(handle_exit=False)


if __name__ == '__main__':
    main()
