-- The public page of an account ("/logonx.aspx?id=", the address an upload names): its members as the
-- world may see them. The page service's account calls these (95_rights.sql).

-- The nickname and the number of members of an account that opens its data to the world; no row for any
-- other account, as for an unknown one, so that the page tells neither apart.
CREATE OR REPLACE FUNCTION page_public_account(accid integer) RETURNS TABLE (nickname text, members bigint)
LANGUAGE sql STABLE SET search_path = public, pg_temp AS $$
    SELECT a.nickname, (SELECT count(*) FROM members m WHERE m.myacc_id = a.acc_id)
      FROM accounts a WHERE a.acc_id = accid AND a.open_level = 1
$$;

-- The first `most` members of such an account in the order of its tree: each followed by his
-- descendants, brothers in the order of the book (sibling order, birthday, then as sent), trees in the
-- order they were sent; the generation counts from 1 at the top of each tree. A member whose father is
-- not one of the account's starts a tree, his father named as the server keeps him when the world may see
-- him, else as sent. The walk keeps its own stack and asks for one member's sons at a time, so that it
-- costs what it shows, however deep the lines run.
CREATE OR REPLACE FUNCTION page_public_members(accid integer, most integer)
RETURNS TABLE (generation integer, filial text, father text)
LANGUAGE plpgsql STABLE SET search_path = public, pg_temp AS $$
DECLARE
    root record;
    son record;
    ids integer[] := '{}';
    depths integer[] := '{}';
    top integer;
    here integer;
    shown integer := 0;
BEGIN
    IF most <= 0 OR NOT EXISTS (SELECT 1 FROM accounts a WHERE a.acc_id = accid AND a.open_level = 1) THEN
        RETURN;
    END IF;
    FOR root IN
        SELECT m.filial_id, m.filial,
               CASE WHEN f.filial_id IS NOT NULL AND zp_visible(f.myacc_id, 0) THEN f.filial ELSE m.father END
                   AS father_name
          FROM members m LEFT JOIN members f ON f.filial_id = m.father_id
         WHERE m.myacc_id = accid AND (f.filial_id IS NULL OR f.myacc_id <> accid)
         ORDER BY m.filial_id
    LOOP
        generation := 1;
        filial := root.filial;
        father := root.father_name;
        here := root.filial_id;
        top := 0;
        LOOP
            RETURN NEXT;
            shown := shown + 1;
            EXIT WHEN shown >= most;
            -- The sons go on the stack last first, so that the first comes off first.
            FOR son IN
                SELECT c.filial_id FROM members c
                 WHERE c.father_id = here AND c.myacc_id = accid
                 ORDER BY c.boy_sort DESC, c.boy_birthday COLLATE "C" DESC, c.filial_id DESC
            LOOP
                top := top + 1;
                ids[top] := son.filial_id;
                depths[top] := generation + 1;
            END LOOP;
            EXIT WHEN top = 0;
            here := ids[top];
            generation := depths[top];
            top := top - 1;
            SELECT c.filial, p.filial INTO filial, father
              FROM members c JOIN members p ON p.filial_id = c.father_id WHERE c.filial_id = here;
        END LOOP;
        EXIT WHEN shown >= most;
    END LOOP;
END $$;
