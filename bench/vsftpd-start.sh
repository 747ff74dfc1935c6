#!/usr/bin/env bash
# Starts vsftpd on 127.0.0.1:$2 serving $1 anonymously (downloads, uploads into $1/up), in active and
# passive mode, or with a third argument "passive" in passive mode only (port_enable=NO), as a host
# behind a firewall is set up. Prints the daemon's pid. Needs root (vsftpd drops to the ftp user).
# With VSFTPD_TLS=FILE it requires explicit TLS (AUTH TLS) for logins and data connections, and data
# connections that resume the control connection's TLS session; FILE gets a fresh self-signed key and
# certificate for localhost (one PEM) unless it exists already.
set -euo pipefail
root=$1 port=$2 active=YES
[ "${3:-}" = passive ] && active=NO
conf=$(mktemp /tmp/vsftpd-bench.XXXXXX.conf)
tls=${VSFTPD_TLS:-}
if [ -n "$tls" ] && [ ! -s "$tls" ]; then
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost -keyout "$tls" -out "$tls" 2>/dev/null
fi
mkdir -p "$root/up" /var/run/vsftpd/empty
chmod 755 "$root"; chmod 777 "$root/up"
cat > "$conf" <<CONF
listen=YES
listen_address=127.0.0.1
listen_port=$port
background=NO
anonymous_enable=YES
local_enable=NO
anon_root=$root
write_enable=YES
anon_upload_enable=YES
anon_mkdir_write_enable=YES
anon_other_write_enable=YES
port_enable=$active
connect_from_port_20=NO
pasv_enable=YES
seccomp_sandbox=NO
secure_chroot_dir=/var/run/vsftpd/empty
xferlog_enable=$([ -n "${VSFTPD_LOG:-}" ] && echo YES || echo NO)
dual_log_enable=NO
vsftpd_log_file=${VSFTPD_LOG:-/dev/null}
log_ftp_protocol=$([ -n "${VSFTPD_LOG:-}" ] && echo YES || echo NO)
max_clients=0
CONF
if [ -n "$tls" ]; then
    cat >> "$conf" <<CONF
ssl_enable=YES
allow_anon_ssl=YES
force_anon_logins_ssl=YES
force_anon_data_ssl=YES
require_ssl_reuse=YES
rsa_cert_file=$tls
rsa_private_key_file=$tls
CONF
fi
/usr/sbin/vsftpd "$conf" >/dev/null 2>&1 &
echo $!
